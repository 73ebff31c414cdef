#include "cdgview.h"

#include "cdgsong.h"
#include "extrasettings.h"
#include "karaokefiles.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QtDebug>

CdgView::CdgView(QWidget *display) : QWidget(display), display(display)
{
    setObjectName(QStringLiteral("cdgView"));
    setAttribute(Qt::WA_TransparentForMouseEvents); // double clicks and drops reach the display
    setAttribute(Qt::WA_OpaquePaintEvent);
    display->installEventFilter(this);
    followDisplay();
    readOptions();
}

CdgView::~CdgView() = default;

void CdgView::readOptions()
{
    const ExtraSettings &settings = ExtraSettings::instance();
    shown = settings.boolValue(QLatin1String(showKey), true);
    smooth = settings.boolValue(QLatin1String(smoothKey), true);
    updateVisibility();
    update();
}

void CdgView::setSong(const QString &song)
{
    if (song == songPath && (graphics || reading)) {
        updateVisibility(); // the next frame shown brings the picture to where the song stands
        return;
    }
    songPath = song;
    graphics.reset();
    updateVisibility();
    // Read on a thread of its own, so that the song's first sound does not wait for its graphics;
    // they show from the next frame after they arrive.
    const int wanted = ++generation;
    auto read = std::make_shared<CdgSong>();
    auto found = std::make_shared<bool>(false);
    QThread *reader = QThread::create([song, read, found] {
        const QString path = KaraokeFiles::graphicsFile(song);
        QString error;
        *found = !path.isEmpty() && read->open(path, &error);
        if (!path.isEmpty() && !*found)
            qWarning("Unable to read the graphics %s: %s", qUtf8Printable(path), qUtf8Printable(error));
    });
    reading = true;
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, [this, wanted, read, found] {
        if (wanted != generation)
            return; // another song came meanwhile
        reading = false;
        if (!*found)
            return;
        graphics = std::make_unique<CdgSong>(std::move(*read));
        graphics->screen().takeChangedArea();
        takePicture();
        update();
        updateVisibility();
    });
    reader->start();
}

void CdgView::showFrame(int frame)
{
    if (!graphics || !graphics->seek(CdgSong::packetsForFrame(frame)))
        return;
    const QRect changed = graphics->screen().takeChangedArea();
    if (changed.isEmpty())
        return;
    const QRgb border = borderColor;
    takePicture();
    if (border != borderColor || changed.size() == picture.size()) {
        update();
        return;
    }
    // The changed pixels where they land, a little wider for the smooth filter.
    const QRect area = pictureArea();
    const double scaleX = double(area.width()) / picture.width();
    const double scaleY = double(area.height()) / picture.height();
    const QRectF landed(area.x() + changed.x() * scaleX, area.y() + changed.y() * scaleY,
                        changed.width() * scaleX, changed.height() * scaleY);
    update(landed.toAlignedRect().adjusted(-2, -2, 2, 2));
}

void CdgView::takePicture()
{
    const CdgScreen &screen = graphics->screen();
    picture = screen.image().convertToFormat(QImage::Format_RGB32);
    borderColor = screen.color(screen.borderColor());
}

QRect CdgView::pictureArea() const
{
    const QSize size = QSize(CdgScreen::width, CdgScreen::height).scaled(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void CdgView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor::fromRgb(borderColor));
    if (picture.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawImage(pictureArea(), picture);
}

bool CdgView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == display &&
        (event->type() == QEvent::Resize || event->type() == QEvent::ContentsRectChange))
        followDisplay();
    return QWidget::eventFilter(watched, event);
}

void CdgView::followDisplay()
{
    setGeometry(display->contentsRect());
}

void CdgView::updateVisibility()
{
    setVisible(shown && graphics);
    if (isVisible())
        raise();
}
