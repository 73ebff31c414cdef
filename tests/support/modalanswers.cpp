#include "modalanswers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

Answers::Answers(const QStringList &steps) : steps(steps)
{
    connect(&timer, &QTimer::timeout, this, &Answers::poll);
    timer.start(5);
}

// The answer runs from the event queue, not from the timer, so that the timer still fires inside
// any modal window the answer opens in turn.
void Answers::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || answering)
        return;
    const QString step = steps.value(0);
    if (!step.startsWith(modal->objectName() + '=')) {
        // Only on a second look: a window just answered may still show while the modal loop
        // inside its answer unwinds.
        if (modal == suspect) {
            unexpected << modal->objectName();
            static_cast<QDialog *>(modal)->reject();
        }
        suspect = modal;
        return;
    }
    suspect = nullptr;
    steps.removeFirst();
    seen << modal;
    answering = true;
    QMetaObject::invokeMethod(
        this, [this, modal, step] { answer(modal, step.section('=', 1)); }, Qt::QueuedConnection);
}

void Answers::answer(QWidget *modal, const QString &action)
{
    answering = false;
    auto *dialog = static_cast<QDialog *>(modal);
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        texts << box->windowTitle() + '|' + box->text();
        QAbstractButton *button = box->button(action == "yes"      ? QMessageBox::Yes
                                              : action == "no"     ? QMessageBox::No
                                              : action == "cancel" ? QMessageBox::Cancel
                                                                   : QMessageBox::Ok);
        if (button) {
            button->click();
        } else { // a box without that answer
            unexpected << modal->objectName() + ':' + action;
            box->reject();
        }
    } else if (action.startsWith("choose:")) {
        // Typed, as the user does: selectFile() leaves a focused name field alone.
        modal->findChild<QLineEdit *>("fileNameEdit")->setText(action.mid(7));
        dialog->accept(); // QFileDialog::accept
    } else if (action.startsWith("color:")) {
        static_cast<QColorDialog *>(modal)->setCurrentColor(QColor(action.mid(6)));
        dialog->accept();
    } else if (action.startsWith("font:")) {
        const QStringList font = action.mid(5).split(',');
        static_cast<QFontDialog *>(modal)->setCurrentFont(QFont(font[0], font[1].toInt()));
        dialog->accept();
    } else if (action == "accept") {
        dialog->accept();
    } else {
        dialog->reject();
    }
}
