#include "chat/ModuleScreenSnapshot.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

namespace {
// First luminance entry of the JPEG quantisation table: 16 scaled by the encoder's quality.
int firstQuantisationValue(const QByteArray &jpeg) {
    const int marker = jpeg.indexOf("\xFF\xDB");
    if (marker < 0 || marker + 5 >= jpeg.size())
        return -1;
    return quint8(jpeg.at(marker + 5));
}
} // namespace

class TestModuleScreenSnapshot : public QObject {
    Q_OBJECT
private slots:
    void savePictureAsJpeg_data();
    void savePictureAsJpeg();
};

void TestModuleScreenSnapshot::savePictureAsJpeg_data() {
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QString>("error");
    QImage screen(320, 200, QImage::Format_RGB32);
    screen.fill(Qt::darkCyan);
    QTest::newRow("saved at quality 80") << screen << "57_20240305140709.jpg"
                                         << "";
    QTest::newRow("no picture: invalid parameter") << QImage() << "empty.jpg"
                                                   << "Non posso salvare l'immagine. Errore GDI+:2";
    QTest::newRow("folder missing: system error") << screen << "missing/57.jpg"
                                                  << "Non posso salvare l'immagine. Errore GDI+:7";
}

void TestModuleScreenSnapshot::savePictureAsJpeg() {
    QFETCH(QImage, picture);
    QFETCH(QString, relativePath);
    QFETCH(QString, error);
    QTemporaryDir folder;
    const QString path = folder.filePath(relativePath);

    QCOMPARE(ModuleScreenSnapshot::SavePictureAsJpeg(picture, path, 80), error);

    QFile file(path);
    QCOMPARE(file.exists(), error.isEmpty());
    if (!error.isEmpty())
        return;
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(firstQuantisationValue(file.readAll()), 6);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.size(), picture.size());
}

QTEST_MAIN(TestModuleScreenSnapshot)
#include "tst_modulescreensnapshot.moc"
