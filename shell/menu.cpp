#include "menu.h"

#include "cdgview.h"
#include "extrasettings.h"
#include "karaokefiles.h"
#include "m3ureader.h"
#include "playlistwindow.h"
#include "preferences.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMutexLocker>
#include <QtDebug>

Menu *Menu::Instance(QMenuBar *host)
{
    return SingleInstance<Menu>::obtain(instanceRules, host);
}

Menu *Menu::Instance()
{
    return SingleInstance<Menu>::existing(instanceRules);
}

bool Menu::hasAnInstance()
{
    return SingleInstance<Menu>::hasAnInstance(instanceRules);
}

Menu::Menu(QMenuBar *host) : QMenuBar(nullptr), hostMenuBar(host)
{
    QMutexLocker locker(&mutex); // guards the menus while they are built
    fileMenu = new QMenu(QStringLiteral("&File"), hostMenuBar);
    viewMenu = new QMenu(QStringLiteral("&View"), hostMenuBar);
    preferencesMenu = new QMenu(QStringLiteral("&Preferences"), hostMenuBar);
    helpMenu = new QMenu(QStringLiteral("&Help"), hostMenuBar);

    loadId = fileMenu->addAction(QStringLiteral("&Load"), QKeySequence(Qt::CTRL | Qt::Key_L), this,
                                 qOverload<>(&Menu::load));
    quitId = fileMenu->addAction(QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                                 qApp, &QApplication::closeAllWindows);
    playlistId = viewMenu->addAction(QStringLiteral("&Playlist"),
                                     QKeySequence(Qt::CTRL | Qt::Key_P), this, &Menu::playlist);
    fitLyricsId = viewMenu->addAction(QStringLiteral("Fit &Lyrics to Window"));
    fitLyricsId->setCheckable(true);
    connect(fitLyricsId, &QAction::triggered, this, &Menu::fitLyricsToggled);
    fontId = preferencesMenu->addAction(QStringLiteral("&Font"), QKeySequence(Qt::CTRL | Qt::Key_F),
                                        this, &Menu::font);
    normalColorId = preferencesMenu->addAction(
        QStringLiteral("&Normal Color"), QKeySequence(Qt::CTRL | Qt::Key_N), this, &Menu::norm);
    highlightColorId = preferencesMenu->addAction(
        QStringLiteral("&Highlight Color"), QKeySequence(Qt::CTRL | Qt::Key_H), this, &Menu::high);
    backgroundColorId = preferencesMenu->addAction(QStringLiteral("&BackGround Color"),
                                                   QKeySequence(Qt::CTRL | Qt::Key_B), this,
                                                   &Menu::back);
    advancedId = preferencesMenu->addAction(QStringLiteral("A&dvanced Settings"),
                                            QKeySequence(Qt::CTRL | Qt::Key_D), this,
                                            &Menu::advanced);
    aboutId = helpMenu->addAction(QStringLiteral("&About"), QKeySequence(Qt::CTRL | Qt::Key_A),
                                  this, &Menu::about);

    for (QMenu *popup : {fileMenu, viewMenu, preferencesMenu, helpMenu})
        hostMenuBar->addMenu(popup);
    playlistId->setCheckable(true);
    playlistId->setChecked(Preferences::Instance()->playlistVisible());
    addGraphicsOptions();
}

// The CD+G graphics of MP3+G songs, shown in place of the lyrics page, smoothly scaled or sharp.
void Menu::addGraphicsOptions()
{
    const ExtraSettings &settings = ExtraSettings::instance();
    graphicsId = viewMenu->addAction(QStringLiteral("Show CD+&G Graphics"), this,
                                     &Menu::graphicsOptions);
    graphicsId->setCheckable(true);
    graphicsId->setChecked(settings.boolValue(QLatin1String(CdgView::showKey), true));
    smoothGraphicsId = viewMenu->addAction(QStringLiteral("S&mooth CD+G Graphics"), this,
                                           &Menu::graphicsOptions);
    smoothGraphicsId->setCheckable(true);
    smoothGraphicsId->setChecked(settings.boolValue(QLatin1String(CdgView::smoothKey), true));
}

void Menu::graphicsOptions()
{
    QMutexLocker locker(&mutex); // guards the check marks
    ExtraSettings &settings = ExtraSettings::instance();
    settings.setValue(QLatin1String(CdgView::showKey), graphicsId->isChecked());
    settings.setValue(QLatin1String(CdgView::smoothKey), smoothGraphicsId->isChecked());
    emit GraphicsOptionsChanged();
}

Menu::~Menu()
{
    SingleInstance<Menu>::DestructorLock classLock(this); // guards Menu's instance pointer
    QMutexLocker locker(&mutex); // guards the dialog and the menus while they go
    if (loadDialog) {
        loadDialog->hide();
        delete loadDialog;
        loadDialog = nullptr;
    }
    // Deleting a popup takes it out of the host bar.
    delete fileMenu;
    delete viewMenu;
    delete preferencesMenu;
    delete helpMenu;
}

void Menu::load()
{
    QMutexLocker locker(&mutex); // guards the load dialog
    if (!loadDialog) {
        loadDialog = new QFileDialog(this, QString(), Preferences::Instance()->lastDirectory(),
                                     QStringLiteral("*.mp3 *.playlist"));
        loadDialog->setObjectName(QStringLiteral("MainWindowLoadFile"));
        // M3U lists of other players are a second choice after our own files.
        loadDialog->setNameFilters({QStringLiteral("*.mp3 *.playlist"), M3uReader::nameFilter(),
                                    KaraokeFiles::nameFilter()});
        loadDialog->setModal(true);
        loadDialog->setFileMode(QFileDialog::ExistingFile);
        // Qt's own dialog, the same on every desktop and reachable by its object name.
        loadDialog->setOption(QFileDialog::DontUseNativeDialog);
        connect(loadDialog, &QFileDialog::fileSelected, this,
                qOverload<const QString &>(&Menu::load));
    }
    // Kept between uses, so it opens again in the folder where it was last left.
    loadDialog->exec();
}

void Menu::load(const QString &path)
{
    QMutexLocker locker(&mutex); // guards the load dialog
    if (loadDialog)
        loadDialog->hide();
    if (path.isEmpty())
        return;
    const QString directory = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    qDebug("dirname: %s", qUtf8Printable(directory));
    // Remembered only once opened: a file the list refused (a pipe, a damaged list) must not
    // become the file the next start opens.
    PlayListWindow *window = PlayListWindow::Instance();
    if (!window || !window->openFile(path))
        return;
    Preferences *preferences = Preferences::Instance();
    preferences->setLastDirectory(directory);
    preferences->setLastFile(path);
}

void Menu::setFitLyricsChecked(bool checked)
{
    QMutexLocker locker(&mutex); // guards the check mark
    fitLyricsId->setChecked(checked);
}

void Menu::playlist()
{
    QMutexLocker locker(&mutex); // guards the check mark
    Preferences *preferences = Preferences::Instance();
    const bool visible = !preferences->playlistVisible();
    preferences->setPlaylistVisible(visible);
    if (PlayListWindow *window = PlayListWindow::Instance())
        window->setVisible(visible);
    playlistId->setChecked(visible);
}

void Menu::font()
{
    QMutexLocker locker(&mutex); // guards the dialog's run
    Preferences *preferences = Preferences::Instance();
    // From the font the lyrics are drawn in: a stored family that is not installed would start
    // the dialog on another family's normal weight, and OK would store that.
    QFont start = preferences->lyricsFont();
    const QFontInfo used(start);
    start.setFamily(used.family());
    start.setWeight(QFont::Weight(used.weight()));
    start.setItalic(used.italic());
    QFontDialog dialog(start, this);
    dialog.setObjectName(QStringLiteral("MainWindowFont"));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted)
        preferences->setLyricsFont(dialog.selectedFont());
    emit PreferencesChanged();
}

void Menu::norm()
{
    chooseColor(&Preferences::normalColor, &Preferences::setNormalColor,
                QStringLiteral("Foreground"));
}

void Menu::high()
{
    chooseColor(&Preferences::highlightColor, &Preferences::setHighlightColor,
                QStringLiteral("Highlight"));
}

void Menu::back()
{
    chooseColor(&Preferences::backgroundColor, &Preferences::setBackgroundColor,
                QStringLiteral("Background"));
}

// The colour is stored also when unchanged or the dialog was cancelled, and the display redraws.
void Menu::chooseColor(QColor (Preferences::*get)() const,
                       void (Preferences::*set)(const QColor &), const QString &which)
{
    QMutexLocker locker(&mutex); // guards the dialog's run
    Preferences *preferences = Preferences::Instance();
    (preferences->*set)(colorSelector((preferences->*get)(), which));
    emit PreferencesChanged();
}

// The chosen colour, or initial when the dialog was cancelled. The dialog is named after what it
// asks for; its caption is the toolkit's own.
QColor Menu::colorSelector(const QColor &initial, const QString &which)
{
    QMutexLocker locker(&mutex); // guards the dialog's run
    QColorDialog dialog(initial, this);
    dialog.setObjectName(QStringLiteral("Please select ") + which + QStringLiteral(" Color"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid())
        return initial;
    return dialog.selectedColor();
}

void Menu::advanced()
{
    QMutexLocker locker(&mutex); // guards nothing but the order of signals
    emit advancedcontrolls();
}

void Menu::about()
{
    QMutexLocker locker(&mutex); // guards nothing but the order of dialogs
    const QStringList lines = {
        QStringLiteral("Vantrel Kivo Player"),
        QStringLiteral("2.00.0000"),
        QString(),
        QStringLiteral("Copyright (C) the Vantrel Kivo Player authors"),
        QStringLiteral("This Program uses the SDL(Simple DirectMedia Layer)"),
        QStringLiteral("library for sound support.  Information on SDL can"),
        QStringLiteral("be found at https://www.libsdl.org/"),
        QStringLiteral("SDL is under the GNU LGPL ver 2 License Additional"),
        QStringLiteral("Information can be found at "),
        QStringLiteral("https://www.gnu.org/licenses/old-licenses/lgpl-2.1.html"),
    };
    QMessageBox::about(this, QStringLiteral("About Vantrel Kivo Player"),
                       lines.join(QLatin1Char('\n')));
}
