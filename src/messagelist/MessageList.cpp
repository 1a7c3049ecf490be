#include "messagelist/MessageList.h"

#include "app/Units.h"
#include "bubble/BubblePainter.h"
#include "bubble/BubbleText.h"
#include "bubble/LinkTarget.h"
#include "bubble/UprightPicture.h"
#include "messagelist/MessageListAccessible.h"
#include "messagelist/MessageListGeometry.h"
#include "messagelist/MessageModel.h"
#include "viewer/ImgFrm.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// The first bubble has its own place in the design; the others span the list.
constexpr int kFirstBubbleLeftTwips = 15;
constexpr int kFirstBubbleWidthTwips = 5955;
constexpr QColor kCanvasColor(255, 255, 255);
// Where the list's top stands before it outgrows the viewport.
constexpr int kDesignTopTwips = 15;
// A line of the wheel or of an arrow key, and a page.
constexpr double kLineStepCm = 0.5;
constexpr double kPageStepCm = 10;

// Enough laid-out texts for a few screens of scrolling; the rest are laid out again on demand.
constexpr int kCachedLayouts = 256;
// Thumbnails in KiB; a larger one is decoded a piece at a time, as it is exposed.
constexpr int kThumbnailCacheKiB = 32 * 1024;
constexpr int kWholeThumbnailKiB = 8 * 1024;

const QString kCopyCaption = QStringLiteral("Copia");
constexpr int kFocusFramePx = 2;

int costKiB(const QImage &image) {
    return int(qMax<qsizetype>(1, image.sizeInBytes() / 1024));
}

int cmToPixels(double cm) {
    return Units::twipsToPixels(Units::cmToTwips(cm));
}

} // namespace

MessageList::MessageList(const MessageModel &model, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_contentHeightPx(cmToPixels(MessageListGeometry::kViewportHeightCm))
    , m_layouts(kCachedLayouts)
    , m_thumbnails(kThumbnailCacheKiB) {
    MessageListAccessible::install();
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScrollBar *bar = verticalScrollBar();
    bar->setObjectName(QStringLiteral("VScroll1"));
    bar->setSingleStep(cmToPixels(kLineStepCm));
    bar->setPageStep(cmToPixels(kPageStepCm));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setMouseTracking(true);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { addBubbles(first, last); });
    if (m_model.rowCount() > 0)
        addBubbles(0, m_model.rowCount() - 1);
}

void MessageList::addBubbles(int first, int last) {
    for (int row = first; row <= last; ++row) {
        const ChatMessage &message = m_model.message(row);
        const bool top = m_entries.empty();
        const double topTwips =
            top ? 0.0 : m_entries.back().topTwips + m_entries.back().bubble.heightTwips();
        Entry entry{topTwips, top ? kFirstBubbleLeftTwips : 0, CtrMsg()};
        CtrMsg &filled = entry.bubble;
        filled.setWidthTwips(top ? kFirstBubbleWidthTwips : kWidthTwips);
        filled.setData(message.time);
        filled.setIdOperatore(message.idOperatore);
        if (message.isPicture)
            filled.setImmagineAttach(message.text);
        else
            filled.setTesto(message.text, message.isLink);
        filled.setBackColor(message.backColor);
        filled.setForeColor(message.foreColor);
        m_entries.push_back(std::move(entry));
    }
    growTo(m_entries.back().topTwips + m_entries.back().bubble.heightTwips());
    // A screen reader hears of each new message, the operator's answers above all.
    if (QAccessible::isActive()) {
        for (int row = first; row <= last; ++row) {
            QAccessibleEvent created(this, QAccessible::ObjectCreated);
            created.setChild(row);
            QAccessible::updateAccessibility(&created);
        }
    }
}

void MessageList::growTo(double bottomTwips) {
    const auto growth = MessageListGeometry::grow(float(Units::twipsToCm(bottomTwips)));
    m_contentHeightPx = cmToPixels(growth.canvasHeightCm);
    if (growth.scrollBarVisible) {
        if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOn)
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        // Unheard, the bar spares the scroll area a layout and a scroll for every message; the
        // whole viewport is painted again below.
        QScrollBar *bar = verticalScrollBar();
        const QSignalBlocker quiet(bar);
        const int maximum = cmToPixels(growth.maximum);
        if (bar->maximum() != maximum)
            bar->setRange(cmToPixels(MessageListGeometry::kScrollMinimum), maximum);
        bar->setValue(cmToPixels(growth.value));
    }
    viewport()->update();
}

// The scroll bar's value is where the viewport's lower edge stands below the list's top.
int MessageList::contentTop() const {
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOn)
        return Units::twipsToPixels(kDesignTopTwips);
    return cmToPixels(MessageListGeometry::kViewportHeightCm) - verticalScrollBar()->value();
}

// The bar's value alone places the list, so that a change unheard is never counted twice.
void MessageList::scrollContentsBy(int, int) {
    viewport()->update();
}

void MessageList::scrollToBubble(int index) {
    const QRect area = bubbleInViewport(index);
    QScrollBar *bar = verticalScrollBar();
    if (area.top() < 0)
        bar->setValue(bar->value() + area.top());
    else if (area.bottom() > viewport()->height())
        bar->setValue(bar->value() + qMin(area.top(), area.bottom() - viewport()->height()));
}

QRect MessageList::bubbleInViewport(int index) const {
    return bubbleRect(index).translated(0, contentTop());
}

void MessageList::paintEvent(QPaintEvent *event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.translate(exposed.topLeft());
    paintContent(painter, exposed.translated(0, -contentTop()));
    // The list has no frame of its own, so nothing else tells a keyboard user it has the keys.
    // Drawn by hand: styles' focus frames are made for items, and Fusion's tints all inside.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.resetTransform();
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusFramePx));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kFocusFramePx / 2.0;
        painter.drawRect(QRectF(viewport()->rect()).adjusted(inset, inset, -inset, -inset));
    }
}

void MessageList::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void MessageList::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void MessageList::paintContent(QPainter &painter, const QRect &contentArea) const {
    painter.save();
    painter.translate(-contentArea.topLeft());
    const qreal pixelRatio = painter.device()->devicePixelRatioF();
    const QRect canvas(0, 0, Units::twipsToPixels(kWidthTwips), m_contentHeightPx);
    painter.fillRect(contentArea & canvas, kCanvasColor);
    BubblePainter bubblePainter;
    bubblePainter.background = kCanvasColor;
    for (int i = firstReaching(contentArea.top()); i < count(); ++i) {
        const QRect area = bubbleRect(i);
        if (area.top() > contentArea.bottom())
            break;
        if (!area.intersects(contentArea))
            continue;
        const CtrMsg &shown = bubble(i);
        bubblePainter.text = shown.showsText() ? &textLayout(i) : nullptr;
        bubblePainter.thumbnail = QImage();
        if (shown.showsPicture()) {
            const QRect picture =
                Units::twipsToPixels(shown.pictureRect()).translated(area.topLeft());
            bubblePainter.thumbnail =
                thumbnail(i, contentArea.intersected(picture).translated(-picture.topLeft()),
                          pixelRatio, &bubblePainter.thumbnailOffset);
        }
        bubblePainter.selection.clear();
        if (i == m_selection.index && m_selection.anchor != m_selection.position) {
            QTextLayout::FormatRange range;
            range.start = qMin(m_selection.anchor, m_selection.position);
            range.length = qAbs(m_selection.position - m_selection.anchor);
            // The palette's highlight vanishes on a blue bubble; the bubble's colours swapped
            // stand out on every bubble.
            range.format.setBackground(shown.ForeColor());
            range.format.setForeground(shown.BackColor());
            bubblePainter.selection << range;
        }
        bubblePainter.paint(painter, shown, area.topLeft());
    }
    painter.restore();
}

QPointF MessageList::bubbleOriginTwips(int index) const {
    const Entry &entry = m_entries[size_t(index)];
    return QPointF(entry.leftTwips, entry.topTwips);
}

QPoint MessageList::originOf(int index) const {
    const Entry &entry = m_entries[size_t(index)];
    return QPoint(Units::twipsToPixels(entry.leftTwips), Units::twipsToPixels(entry.topTwips));
}

QRect MessageList::bubbleRect(int index) const {
    const CtrMsg &shown = bubble(index);
    return QRect(originOf(index), QSize(Units::twipsToPixels(shown.widthTwips()),
                                        Units::twipsToPixels(shown.heightTwips())));
}

int MessageList::firstReaching(int yPx) const {
    const double limit = Units::pixelsToTwips(yPx + 1);
    const auto after =
        std::upper_bound(m_entries.cbegin(), m_entries.cend(), limit,
                         [](double twips, const Entry &entry) { return twips < entry.topTwips; });
    // One more before it: sizes rounded to pixels may overlap by one.
    return qMax(0, int(after - m_entries.cbegin()) - 2);
}

const QTextLayout &MessageList::textLayout(int index) const {
    if (QTextLayout *cached = m_layouts.object(index))
        return *cached;
    const CtrMsg &shown = bubble(index);
    auto *layout = BubbleText::layOut(shown.Testo(), Units::twipsToPixels(shown.textRect().width()),
                                      shown.isLink())
                       .release();
    m_layouts.insert(index, layout);
    return *layout;
}

QImage MessageList::thumbnail(int index, const QRect &exposedPart, qreal pixelRatio,
                              QPoint *offset) const {
    *offset = QPoint();
    // Read at the screen's own pixels: a picture enlarged by the scale would blur.
    if (const QImage *cached = m_thumbnails.object(index);
        cached && cached->devicePixelRatio() == pixelRatio)
        return *cached;
    const CtrMsg &shown = bubble(index);
    if (shown.picturePath().isEmpty() || exposedPart.isEmpty())
        return {};
    const QSize size = Units::twipsToPixels(shown.pictureRect()).size() * pixelRatio;
    const bool whole = qint64(size.width()) * size.height() * 4 / 1024 <= kWholeThumbnailKiB;
    QRect devicePart;
    if (!whole) {
        devicePart = QRectF(QPointF(exposedPart.topLeft()) * pixelRatio,
                            QSizeF(exposedPart.size()) * pixelRatio)
                         .toAlignedRect() &
                     QRect(QPoint(), size);
        *offset = (QPointF(devicePart.topLeft()) / pixelRatio).toPoint();
    }
    QImage picture = UprightPicture::readScaled(shown.picturePath(), size, devicePart);
    picture.setDevicePixelRatio(pixelRatio);
    if (whole && !picture.isNull())
        m_thumbnails.insert(index, new QImage(picture), costKiB(picture));
    return picture;
}

MessageList::Hit MessageList::hitAt(QPoint viewportPos) const {
    const QPoint pos = viewportPos - QPoint(0, contentTop());
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
        return hit;
    }
    hit.part = Part::Margin;
    if (shown.showsText() && Units::twipsToPixels(shown.textRect()).contains(inside))
        hit.part = shown.isLink() ? Part::Link : Part::Text;
    if (shown.showsText())
        hit.cursor = cursorAt(hit.index, pos);
    return hit;
}

// The nearest character: points above or below the text's lines take its first or last line,
// points beside a line its start or its end.
int MessageList::cursorAt(int index, QPoint contentPos) const {
    const QTextLayout &layout = textLayout(index);
    const QPointF inText =
        contentPos - originOf(index) - Units::twipsToPixels(bubble(index).textRect()).topLeft();
    QTextLine chosen;
    for (int i = 0; i < layout.lineCount(); ++i) {
        chosen = layout.lineAt(i);
        if (inText.y() < chosen.y() + chosen.height())
            break;
    }
    return chosen.isValid() ? chosen.xToCursor(inText.x()) : 0;
}

void MessageList::select(const Selection &selection) {
    if (m_selection.index >= 0)
        viewport()->update(bubbleInViewport(m_selection.index));
    m_selection = selection;
    if (m_selection.index >= 0)
        viewport()->update(bubbleInViewport(m_selection.index));
}

QString MessageList::selectedText() const {
    if (m_selection.index < 0)
        return {};
    const QString shown = textLayout(m_selection.index).text();
    const int from = qMin(m_selection.anchor, m_selection.position);
    return BubbleText::plainText(shown.mid(from, qAbs(m_selection.position - m_selection.anchor)));
}

void MessageList::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void MessageList::showPointerFor(Part part) {
    if (part == m_pointer)
        return;
    m_pointer = part;
    switch (part) {
    case Part::Link:
    case Part::Picture:
        viewport()->setCursor(BubblePainter::handCursor());
        break;
    case Part::Text:
        viewport()->setCursor(Qt::IBeamCursor);
        break;
    case Part::Margin:
    case Part::None:
        viewport()->unsetCursor();
        break;
    }
}

// A press anywhere in a bubble with text, its margin too, starts a selection at the nearest
// character; with Shift it extends the one there.
void MessageList::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    const Hit hit = hitAt(event->position().toPoint());
    m_pressPos = event->position().toPoint();
    const bool inText =
        hit.part != Part::Picture && hit.index >= 0 && bubble(hit.index).showsText();
    if (inText && event->modifiers() & Qt::ShiftModifier && hit.index == m_selection.index) {
        m_pressed = Hit();
        m_dragging = true;
        select({hit.index, m_selection.anchor, hit.cursor});
        return;
    }
    m_pressed = hit;
    m_dragging = false;
    select(inText ? Selection{hit.index, hit.cursor, hit.cursor} : Selection());
}

void MessageList::mouseMoveEvent(QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || m_selection.index < 0) {
        showPointerFor(hitAt(pos).part);
        return;
    }
    if (!m_dragging && (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    Selection extended = m_selection;
    extended.position = cursorAt(m_selection.index, pos - QPoint(0, contentTop()));
    select(extended);
}

void MessageList::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    const Hit released = hitAt(event->position().toPoint());
    const bool click =
        !m_dragging && released.index == m_pressed.index && released.part == m_pressed.part;
    m_dragging = false;
    if (click && released.part == Part::Link)
        openLink(released.index);
    else if (click && released.part == Part::Picture)
        openPicture(released.index);
}

// The first click of a double click has opened a link already: its release opens nothing.
void MessageList::mouseDoubleClickEvent(QMouseEvent *event) {
    m_pressed = Hit();
    const Hit hit = hitAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || (hit.part != Part::Text && hit.part != Part::Link))
        return;
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, textLayout(hit.index).text());
    words.setPosition(hit.cursor);
    const int start = words.isAtBoundary() ? hit.cursor : int(words.toPreviousBoundary());
    words.setPosition(hit.cursor);
    const int end = int(words.toNextBoundary());
    select({hit.index, start, end < 0 ? hit.cursor : end});
}

// Touchpads give pixels, which the scroll bar alone would not take.
void MessageList::wheelEvent(QWheelEvent *event) {
    if (event->pixelDelta().isNull())
        return QAbstractScrollArea::wheelEvent(event);
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->value() - event->pixelDelta().y());
    event->accept();
}

// Page Up and Down and the arrows are the scroll area's own.
void MessageList::keyPressEvent(QKeyEvent *event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (menuKey) {
        const QPoint at = m_selection.index >= 0 ? bubbleInViewport(m_selection.index).center()
                                                 : viewport()->rect().center();
        showMenu(at, viewport()->mapToGlobal(at));
    } else if (event->key() == Qt::Key_Home) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event->key() == Qt::Key_End) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

// The keys that open the menu are taken as keys, whichever way the platform also reports them.
void MessageList::contextMenuEvent(QContextMenuEvent *event) {
    if (event->reason() != QContextMenuEvent::Keyboard)
        showMenu(event->pos(), event->globalPos());
}

// With nothing selected, "Copia" takes the whole text of the bubble there.
void MessageList::showMenu(QPoint viewportPos, QPoint globalPos) {
    const Hit hit = hitAt(viewportPos);
    if (selectedText().isEmpty() && hit.part != Part::Picture && hit.index >= 0 &&
        bubble(hit.index).showsText())
        select({hit.index, 0, int(textLayout(hit.index).text().size())});
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(kCopyCaption, this, &MessageList::copy)->setEnabled(!selectedText().isEmpty());
    menu->popup(globalPos);
}

void MessageList::openLink(int index) const {
    const QUrl url = LinkTarget(bubble(index).Testo());
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

// The large picture is read only now; the list keeps thumbnails alone.
void MessageList::openPicture(int index) const {
    ImgFrm &viewer = ImgFrm::instance();
    viewer.show();
    viewer.raise();
    viewer.ShowImg(UprightPicture::readFitting(bubble(index).picturePath(), ImgFrm::kLongestSide));
}
