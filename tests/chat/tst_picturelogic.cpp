#include "chat/OutgoingPicture.h"
#include "chat/PictureFileName.h"
#include "chat/PictureOffer.h"
#include "chat/PicturePreview.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// Files a paste or a drop may carry, made by the test in a private folder.
enum class File { Png, Jpeg, PngNamedTxt, TextNamedJpg, Text, Folder, Missing };
// Plain text as Qt writes it, or as other programs name it on the X clipboard.
enum class Text { None, Plain, Utf8 };

namespace {
const QDateTime kSecond(QDate(2024, 3, 5), QTime(14, 7, 59));

// Left half red, right half blue: which half a crop kept shows in its corner.
QImage halves(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(size.width() / 2, 0, size.width(), size.height(), Qt::blue);
    return picture;
}

const QMap<File, QString> kNames{{File::Png, "a.png"},
                                 {File::Jpeg, "b.jpg"},
                                 {File::PngNamedTxt, "schermo.txt"},
                                 {File::TextNamedJpg, "finta.jpg"},
                                 {File::Text, "note.txt"},
                                 {File::Folder, "cartella"},
                                 {File::Missing, "sparita.png"}};

// Press, move and release as the pointer sends them; QTest would take (0, 0) for the centre.
void drag(QWidget *widget, QPoint from, QPoint to) {
    const auto send = [widget](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}
} // namespace

class TestPictureLogic : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void conversion_data();
    void conversion();
    void transparentPartsTurnWhite();
    void writesAJpegOfQuality80();
    void freeName_data();
    void freeName();
    void previewCrop_data();
    void previewCrop();
    void offer_data();
    void offer();

private:
    QString pathOf(File file) const { return m_files.filePath(kNames[file]); }
    QTemporaryDir m_files;
};

void TestPictureLogic::initTestCase() {
    QVERIFY(halves({64, 48}).save(pathOf(File::Png)));
    QVERIFY(halves({32, 16}).save(pathOf(File::Jpeg)));
    QVERIFY(halves({8, 8}).save(pathOf(File::PngNamedTxt), "png"));
    for (const File file : {File::TextNamedJpg, File::Text}) {
        QFile text(pathOf(file));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("buongiorno\n");
    }
    QVERIFY(QDir(m_files.path()).mkdir(kNames[File::Folder]));
}

void TestPictureLogic::conversion_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("crop");
    QTest::addColumn<QSize>("sent");
    QTest::addColumn<QColor>("corner");
    const QColor red(Qt::red), blue(Qt::blue);
    QTest::newRow("small and whole") << QSize(800, 600) << QRect() << QSize(800, 600) << red;
    QTest::newRow("crop in the right half")
        << QSize(800, 600) << QRect(500, 50, 200, 100) << QSize(200, 100) << blue;
    QTest::newRow("crop past the edge is cut there")
        << QSize(800, 600) << QRect(700, 500, 300, 300) << QSize(100, 100) << blue;
    QTest::newRow("crop beside the picture keeps it whole")
        << QSize(800, 600) << QRect(900, 0, 10, 10) << QSize(800, 600) << red;
    QTest::newRow("wide: long side to 1920")
        << QSize(2400, 1200) << QRect() << QSize(1920, 960) << red;
    QTest::newRow("tall: long side to 1920")
        << QSize(1000, 3000) << QRect() << QSize(640, 1920) << red;
    QTest::newRow("exactly 1920 stays") << QSize(1920, 1080) << QRect() << QSize(1920, 1080) << red;
    QTest::newRow("crop first, then the limit")
        << QSize(8000, 3000) << QRect(4000, 0, 3840, 1000) << QSize(1920, 500) << blue;
    QTest::newRow("a thin line keeps one pixel")
        << QSize(4000, 1) << QRect() << QSize(1920, 1) << red;
}

void TestPictureLogic::conversion() {
    QFETCH(QSize, picture);
    QFETCH(QRect, crop);
    const QImage sent =
        OutgoingPicture::forSending(OutgoingPicture::cropped(halves(picture), crop));
    QTEST(sent.size(), "sent");
    QTEST(sent.pixelColor(0, 0), "corner");
}

void TestPictureLogic::transparentPartsTurnWhite() {
    QImage picture(10, 10, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    const QImage sent = OutgoingPicture::forSending(picture);
    QVERIFY(!sent.hasAlphaChannel());
    QCOMPARE(sent.pixelColor(5, 5), QColor(Qt::white));
}

// The bytes Qt's own JPEG writer gives at quality 80, and no others.
void TestPictureLogic::writesAJpegOfQuality80() {
    const QImage picture = halves({300, 200});
    const QString path = m_files.filePath(QStringLiteral("57_20240305140759.jpg"));
    QCOMPARE(OutgoingPicture::writeJpeg(picture, path), QString());
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    const auto jpeg = [&picture](int quality) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        writer.write(picture);
        return buffer.data();
    };
    QCOMPARE(bytes, jpeg(80));
    QVERIFY(bytes != jpeg(75));
    QVERIFY(!OutgoingPicture::writeJpeg(picture, m_files.filePath("no/such/folder.jpg")).isEmpty());
}

void TestPictureLogic::freeName_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("name");
    QTest::newRow("free") << QStringList() << "57_20240305140759.jpg";
    QTest::newRow("same second taken: the next, over the minute")
        << QStringList{"57_20240305140759.jpg"} << "57_20240305140800.jpg";
    QTest::newRow("two taken") << QStringList{"57_20240305140759.jpg", "57_20240305140800.jpg"}
                               << "57_20240305140801.jpg";
    QTest::newRow("another ticket's picture is no collision")
        << QStringList{"58_20240305140759.jpg"} << "57_20240305140759.jpg";
    QTest::newRow("a later second taken does not matter")
        << QStringList{"57_20240305140800.jpg"} << "57_20240305140759.jpg";
}

void TestPictureLogic::freeName() {
    QFETCH(QStringList, present);
    QTemporaryDir folder;
    for (const QString &name : present)
        QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
    QTEST(PictureFileName::freeIn(QDir(folder.path()), 57, kSecond), "name");
}

// The area shows the picture scaled down to fit 640 x 480 (never up), centred, and is at least
// 240 x 160; the drag is in the area's pixels.
void TestPictureLogic::previewCrop_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("crop");
    QTest::newRow("small, 1:1, centred at (20, 30)")
        << QSize(200, 100) << QPoint(30, 40) << QPoint(129, 89) << QRect(10, 10, 100, 50);
    QTest::newRow("half size") << QSize(1280, 960) << QPoint(10, 20) << QPoint(109, 69)
                               << QRect(20, 40, 200, 100);
    QTest::newRow("a third") << QSize(1920, 1440) << QPoint(0, 0) << QPoint(99, 99)
                             << QRect(0, 0, 300, 300);
    QTest::newRow("0.48: outward to whole pixels")
        << QSize(1000, 1000) << QPoint(100, 50) << QPoint(200, 150) << QRect(208, 104, 211, 211);
    QTest::newRow("0.48: the whole shown picture is the whole picture")
        << QSize(1000, 1000) << QPoint(0, 0) << QPoint(479, 479) << QRect(0, 0, 1000, 1000);
    QTest::newRow("tall, centred at x 60: past the edges is the whole")
        << QSize(300, 1200) << QPoint(0, 0) << QPoint(239, 479) << QRect(0, 0, 300, 1200);
    QTest::newRow("dragged backwards past the corner")
        << QSize(1280, 960) << QPoint(700, 500) << QPoint(600, 400) << QRect(1200, 800, 80, 160);
    QTest::newRow("a click keeps the whole picture")
        << QSize(1280, 960) << QPoint(300, 300) << QPoint(302, 301) << QRect();
    QTest::newRow("only the margin beside the picture")
        << QSize(200, 100) << QPoint(0, 0) << QPoint(15, 25) << QRect();
}

void TestPictureLogic::previewCrop() {
    QFETCH(QSize, picture);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    PicturePreview preview(halves(picture));
    QCOMPARE(preview.windowTitle(), "Invia immagine");
    drag(preview.findChild<QWidget *>("CropArea"), from, to);
    QTEST(preview.crop(), "crop");
}

void TestPictureLogic::offer_data() {
    QTest::addColumn<QList<File>>("urls");
    QTest::addColumn<Text>("text");
    QTest::addColumn<bool>("image");
    QTest::addColumn<QList<File>>("pictures");
    QTest::addColumn<QList<File>>("others");
    QTest::addColumn<bool>("pictureData");
    using Files = QList<File>;
    QTest::newRow("picture data beside a web address")
        << Files{} << Text::None << true << Files{} << Files{} << true;
    QTest::newRow("text pastes as text")
        << Files{} << Text::Plain << false << Files{} << Files{} << false;
    QTest::newRow("text beside a picture pastes as text")
        << Files{} << Text::Utf8 << true << Files{} << Files{} << false;
    QTest::newRow("picture files in their order")
        << Files{File::Jpeg, File::Png} << Text::None << false << Files{File::Jpeg, File::Png}
        << Files{} << false;
    QTest::newRow("files before text and data, content before name")
        << Files{File::TextNamedJpg, File::PngNamedTxt, File::Text} << Text::Plain << true
        << Files{File::PngNamedTxt} << Files{File::TextNamedJpg, File::Text} << false;
    QTest::newRow("a folder and a missing file are no pictures")
        << Files{File::Folder, File::Missing} << Text::None << false << Files{}
        << Files{File::Folder, File::Missing} << false;
}

void TestPictureLogic::offer() {
    QFETCH(QList<File>, urls);
    QFETCH(Text, text);
    QFETCH(bool, image);
    QFETCH(QList<File>, pictures);
    QFETCH(QList<File>, others);
    QMimeData mime;
    QList<QUrl> links{QUrl(QStringLiteral("https://esempio.it/foto.png"))};
    for (const File file : urls)
        links << QUrl::fromLocalFile(pathOf(file));
    mime.setUrls(links);
    if (text == Text::Plain)
        mime.setText(QStringLiteral("buongiorno"));
    if (text == Text::Utf8)
        mime.setData(QStringLiteral("text/plain;charset=utf-8"), "buongiorno");
    if (image)
        mime.setImageData(halves({20, 10}));
    const PictureOffer offer = PictureOffer::fromMimeData(mime);
    const auto paths = [this](const QList<File> &files) {
        QStringList list;
        for (const File file : files)
            list << pathOf(file);
        return list;
    };
    QCOMPARE(offer.pictureFiles, paths(pictures));
    QCOMPARE(offer.otherFiles, paths(others));
    QTEST(offer.picture.size() == QSize(20, 10), "pictureData");
    QCOMPARE(PictureOffer::mayHold(mime), !offer.isEmpty());
}

QTEST_MAIN(TestPictureLogic)
#include "tst_picturelogic.moc"
