#include "chat/MessageCanvas.h"

#include "app/Units.h"
#include "bubble/BubblePainter.h"
#include "bubble/BubbleText.h"
#include "bubble/ChatMessage.h"
#include "bubble/LinkTarget.h"
#include "bubble/UprightPicture.h"
#include "viewer/ImgFrm.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// The first bubble has its own place in the design; the others span the canvas.
constexpr int kFirstBubbleLeftTwips = 15;
constexpr int kFirstBubbleWidthTwips = 5955;
constexpr quint32 kCanvasColor = 0x00FFFFFF;

// Enough laid-out texts for a few screens of scrolling; the rest are laid out again on demand.
constexpr int kCachedLayouts = 256;
// Thumbnails in KiB; a larger one is decoded a piece at a time, as it is exposed.
constexpr int kThumbnailCacheKiB = 32 * 1024;
constexpr int kWholeThumbnailKiB = 8 * 1024;

const QString kCopyCaption = QStringLiteral("Copia");

int costKiB(const QImage &image) {
    return int(qMax<qsizetype>(1, image.sizeInBytes() / 1024));
}

} // namespace

MessageCanvas::MessageCanvas(QWidget *parent)
    : QWidget(parent)
    , m_layouts(kCachedLayouts)
    , m_thumbnails(kThumbnailCacheKiB) {
    QPalette canvasPalette = palette();
    canvasPalette.setColor(QPalette::Window, Units::fromOleColor(kCanvasColor));
    setPalette(canvasPalette);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

double MessageCanvas::addMessage(const ChatMessage &message) {
    const bool first = m_entries.empty();
    const double top =
        first ? 0.0 : m_entries.back().topTwips + m_entries.back().bubble.heightTwips();
    Entry entry{top, first ? kFirstBubbleLeftTwips : 0, CtrMsg()};
    CtrMsg &filled = entry.bubble;
    filled.setWidthTwips(first ? kFirstBubbleWidthTwips : kWidthTwips);
    filled.setData(message.time);
    filled.setIdOperatore(message.idOperatore);
    if (message.isPicture)
        filled.setImmagineAttach(message.text);
    else
        filled.setTesto(message.text, message.isLink);
    filled.setBackColor(message.backColor);
    filled.setForeColor(message.foreColor);
    m_entries.push_back(std::move(entry));
    update(bubbleRect(count() - 1));
    return top + filled.heightTwips();
}

QPointF MessageCanvas::bubbleOriginTwips(int index) const {
    const Entry &entry = m_entries[size_t(index)];
    return QPointF(entry.leftTwips, entry.topTwips);
}

QPoint MessageCanvas::originOf(int index) const {
    const Entry &entry = m_entries[size_t(index)];
    return QPoint(Units::twipsToPixels(entry.leftTwips), Units::twipsToPixels(entry.topTwips));
}

QRect MessageCanvas::bubbleRect(int index) const {
    const CtrMsg &shown = bubble(index);
    return QRect(originOf(index), QSize(Units::twipsToPixels(shown.widthTwips()),
                                        Units::twipsToPixels(shown.heightTwips())));
}

int MessageCanvas::firstReaching(int yPx) const {
    const double limit = Units::pixelsToTwips(yPx + 1);
    const auto after =
        std::upper_bound(m_entries.cbegin(), m_entries.cend(), limit,
                         [](double twips, const Entry &entry) { return twips < entry.topTwips; });
    // One more before it: sizes rounded to pixels may overlap by one.
    return qMax(0, int(after - m_entries.cbegin()) - 2);
}

void MessageCanvas::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    const QRect exposed = event->rect();
    BubblePainter bubblePainter;
    bubblePainter.background = Units::fromOleColor(kCanvasColor);
    for (int i = firstReaching(exposed.top()); i < count(); ++i) {
        const QRect area = bubbleRect(i);
        if (area.top() > exposed.bottom())
            break;
        if (!area.intersects(exposed))
            continue;
        const CtrMsg &shown = bubble(i);
        bubblePainter.text = shown.showsText() ? &textLayout(i) : nullptr;
        bubblePainter.thumbnail = QImage();
        if (shown.showsPicture()) {
            const QRect picture =
                Units::twipsToPixels(shown.pictureRect()).translated(area.topLeft());
            bubblePainter.thumbnail =
                thumbnail(i, exposed.intersected(picture).translated(-picture.topLeft()),
                          &bubblePainter.thumbnailOffset);
        }
        bubblePainter.selection.clear();
        if (i == m_selection.index && m_selection.anchor != m_selection.position) {
            QTextLayout::FormatRange range;
            range.start = qMin(m_selection.anchor, m_selection.position);
            range.length = qAbs(m_selection.position - m_selection.anchor);
            // The palette's highlight vanishes on a blue bubble; the bubble's colours swapped
            // stand out on every bubble.
            range.format.setBackground(Units::fromOleColor(shown.textColor()));
            range.format.setForeground(Units::fromOleColor(shown.BackColor()));
            bubblePainter.selection << range;
        }
        bubblePainter.paint(painter, shown, area.topLeft());
    }
}

const QTextLayout &MessageCanvas::textLayout(int index) const {
    if (QTextLayout *cached = m_layouts.object(index))
        return *cached;
    const CtrMsg &shown = bubble(index);
    auto *layout =
        BubbleText::layOut(shown.shownText(), Units::twipsToPixels(shown.textRect().width()),
                           shown.isLink())
            .release();
    m_layouts.insert(index, layout);
    return *layout;
}

QImage MessageCanvas::thumbnail(int index, const QRect &exposedPart, QPoint *offset) const {
    *offset = QPoint();
    if (const QImage *cached = m_thumbnails.object(index))
        return *cached;
    const CtrMsg &shown = bubble(index);
    if (shown.picturePath().isEmpty() || exposedPart.isEmpty())
        return {};
    const QSize size = Units::twipsToPixels(shown.pictureRect()).size();
    const bool whole = qint64(size.width()) * size.height() * 4 / 1024 <= kWholeThumbnailKiB;
    if (!whole)
        *offset = exposedPart.topLeft();
    QImage picture =
        UprightPicture::readScaled(shown.picturePath(), size, whole ? QRect() : exposedPart);
    if (whole && !picture.isNull())
        m_thumbnails.insert(index, new QImage(picture), costKiB(picture));
    return picture;
}

MessageCanvas::Hit MessageCanvas::hitAt(QPoint pos) const {
    Hit hit;
    for (int i = firstReaching(pos.y()); i < count(); ++i) {
        const QRect area = bubbleRect(i);
        if (area.top() > pos.y())
            break;
        if (area.contains(pos))
            hit.index = i; // a later bubble lies over an earlier one
    }
    if (hit.index < 0)
        return hit;
    const CtrMsg &shown = bubble(hit.index);
    const QPoint inside = pos - originOf(hit.index);
    if (shown.showsPicture() && Units::twipsToPixels(shown.pictureRect()).contains(inside)) {
        hit.part = Part::Picture;
    } else if (shown.showsText() && Units::twipsToPixels(shown.textRect()).contains(inside)) {
        hit.part = shown.isLink() ? Part::Link : Part::Text;
        hit.cursor = cursorAt(hit.index, pos);
    }
    return hit;
}

// Points above or below the text's lines take its first or last line.
int MessageCanvas::cursorAt(int index, QPoint pos) const {
    const QTextLayout &layout = textLayout(index);
    const QPointF inText =
        pos - originOf(index) - Units::twipsToPixels(bubble(index).textRect()).topLeft();
    QTextLine chosen;
    for (int i = 0; i < layout.lineCount(); ++i) {
        chosen = layout.lineAt(i);
        if (inText.y() < chosen.y() + chosen.height())
            break;
    }
    return chosen.isValid() ? chosen.xToCursor(inText.x()) : 0;
}

void MessageCanvas::select(const Selection &selection) {
    if (m_selection.index >= 0)
        update(bubbleRect(m_selection.index));
    m_selection = selection;
    if (m_selection.index >= 0)
        update(bubbleRect(m_selection.index));
}

QString MessageCanvas::selectedText() const {
    if (m_selection.index < 0)
        return {};
    const QString shown = textLayout(m_selection.index).text();
    const int from = qMin(m_selection.anchor, m_selection.position);
    return BubbleText::plainText(shown.mid(from, qAbs(m_selection.position - m_selection.anchor)));
}

void MessageCanvas::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void MessageCanvas::showPointerFor(Part part) {
    if (part == m_pointer)
        return;
    m_pointer = part;
    switch (part) {
    case Part::Link:
    case Part::Picture:
        setCursor(BubblePainter::handCursor());
        break;
    case Part::Text:
        setCursor(Qt::IBeamCursor);
        break;
    case Part::None:
        unsetCursor();
        break;
    }
}

void MessageCanvas::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = hitAt(event->position().toPoint());
    m_pressPos = event->position().toPoint();
    m_dragging = false;
    const bool onText = m_pressed.part == Part::Text || m_pressed.part == Part::Link;
    select(onText ? Selection{m_pressed.index, m_pressed.cursor, m_pressed.cursor} : Selection());
}

void MessageCanvas::mouseMoveEvent(QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || m_selection.index < 0) {
        showPointerFor(hitAt(pos).part);
        return;
    }
    if (!m_dragging && (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    Selection extended = m_selection;
    extended.position = cursorAt(m_selection.index, pos);
    select(extended);
}

void MessageCanvas::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const Hit released = hitAt(event->position().toPoint());
    const bool click =
        !m_dragging && released.index == m_pressed.index && released.part == m_pressed.part;
    m_dragging = false;
    if (click && released.part == Part::Link)
        openLink(released.index);
    else if (click && released.part == Part::Picture)
        openPicture(released.index);
}

void MessageCanvas::mouseDoubleClickEvent(QMouseEvent *event) {
    const Hit hit = hitAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || (hit.part != Part::Text && hit.part != Part::Link))
        return QWidget::mouseDoubleClickEvent(event);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, textLayout(hit.index).text());
    words.setPosition(hit.cursor);
    const int start = words.isAtBoundary() ? hit.cursor : int(words.toPreviousBoundary());
    words.setPosition(hit.cursor);
    const int end = int(words.toNextBoundary());
    select({hit.index, start, end < 0 ? hit.cursor : end});
}

void MessageCanvas::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Copy))
        copy();
    else
        QWidget::keyPressEvent(event);
}

// With nothing selected, "Copia" takes the whole text of the bubble under the pointer.
void MessageCanvas::contextMenuEvent(QContextMenuEvent *event) {
    const Hit hit = hitAt(event->pos());
    if (selectedText().isEmpty() && (hit.part == Part::Text || hit.part == Part::Link))
        select({hit.index, 0, int(textLayout(hit.index).text().size())});
    QMenu menu(this);
    menu.addAction(kCopyCaption, this, &MessageCanvas::copy)->setEnabled(!selectedText().isEmpty());
    menu.exec(event->globalPos());
}

void MessageCanvas::openLink(int index) const {
    const QUrl url = LinkTarget(bubble(index).shownText());
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

// The large picture is read only now; the list keeps thumbnails alone.
void MessageCanvas::openPicture(int index) const {
    ImgFrm &viewer = ImgFrm::instance();
    viewer.show();
    viewer.raise();
    viewer.ShowImg(UprightPicture::readFitting(bubble(index).picturePath(), ImgFrm::kLongestSide));
}
