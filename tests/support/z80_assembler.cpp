#include "z80_assembler.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool run(const QString& program, const QStringList& arguments, QString* error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = program + QLatin1String(" failed: ") + QString::fromLocal8Bit(process.readAll()) +
                 process.errorString();
        return false;
    }
    return true;
}

} // namespace

std::optional<QByteArray> assembleZ80(const QByteArray& source, QString* error)
{
    const QString as = QStringLiteral(Z80_AS_PATH);
    const QString objcopy = QStringLiteral(Z80_OBJCOPY_PATH);
    if (as.isEmpty() || objcopy.isEmpty()) {
        *error = QStringLiteral("z80-unknown-coff-as not found: install Debian's binutils-z80 "
                                "(make test does) and configure again");
        return std::nullopt;
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *error = QStringLiteral("cannot make a temporary folder");
        return std::nullopt;
    }
    QFile file(dir.filePath(QStringLiteral("in.asm")));
    if (!file.open(QIODevice::WriteOnly) || file.write(source) != source.size()) {
        *error = QStringLiteral("cannot write the source file");
        return std::nullopt;
    }
    file.close();
    const QString object = dir.filePath(QStringLiteral("in.o"));
    const QString binary = dir.filePath(QStringLiteral("in.bin"));
    if (!run(as, {file.fileName(), QStringLiteral("-o"), object}, error) ||
        !run(objcopy, {QStringLiteral("-O"), QStringLiteral("binary"), object, binary}, error))
        return std::nullopt;
    QFile out(binary);
    if (!out.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no binary was written");
        return std::nullopt;
    }
    return out.readAll();
}
