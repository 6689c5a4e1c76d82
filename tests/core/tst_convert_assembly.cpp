#include "core/picture_data_file.h"
#include "core/rle.h"
#include "sample_planes.h"
#include "support/z80_assembler.h"

#include <QTest>

namespace {

QByteArray toBytes(const BitPlane& plane)
{
    return QByteArray(reinterpret_cast<const char*>(plane.data()), int(plane.size()));
}

QByteArray encoded(const BitPlane& plane)
{
    const std::vector<std::uint8_t> block = CompressRLE(plane);
    return QByteArray(reinterpret_cast<const char*>(block.data()), int(block.size()));
}

} // namespace

// The data files go into assembler source as they are: what the assembler makes
// of them must be exactly the plane bytes, or the run-length code, in order.
class TestConvertAssembly : public QObject
{
    Q_OBJECT

private slots:
    void dataFilesAssemble_data();
    void dataFilesAssemble();
};

void TestConvertAssembly::dataFilesAssemble_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("bytes");

    const std::vector<BitPlane> planes = samplePlanes(2);
    // Noise, runs of the marker byte and the 2048-byte worst case.
    const BitPlane& noise = planes[8];
    const BitPlane& runs = planes[9];
    const BitPlane& alternating = planes[3];
    const BitPlane white{};

    QTest::newRow("black and white, plain")
        << QByteArray::fromStdString(blackWhiteDataFile(noise, false)) << toBytes(noise);
    QTest::newRow("black and white, compressed, all white")
        << QByteArray::fromStdString(blackWhiteDataFile(white, true))
        << QByteArray::fromHex("9100ff 9100ff 9100ff 9100ff 910004");
    QTest::newRow("black and white, compressed")
        << QByteArray::fromStdString(blackWhiteDataFile(alternating, true))
        << QByteArray::fromHex("91910100").repeated(512);
    QTest::newRow("greyscale, plain")
        << QByteArray::fromStdString(greyscaleDataFile(noise, runs, false))
        << toBytes(noise) + toBytes(runs);
    QTest::newRow("greyscale, compressed")
        << QByteArray::fromStdString(greyscaleDataFile(runs, noise, true))
        << encoded(runs) + encoded(noise);
}

void TestConvertAssembly::dataFilesAssemble()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, bytes);
    QString error;
    const std::optional<QByteArray> assembled = assembleZ80(file, &error);
    QVERIFY2(assembled, qPrintable(error));
    QCOMPARE(assembled->size(), bytes.size());
    QCOMPARE(*assembled, bytes);
}

QTEST_APPLESS_MAIN(TestConvertAssembly)
#include "tst_convert_assembly.moc"
