// The one writer behind every file the windows and dotwright-cli write: what
// it does with each kind of name it is given, and what a replaced file keeps.
// Special files are made in a temporary folder (mknod, mkfifo, a socket);
// no system device is ever written to.

#include "core/printable_name.h"
#include "picture_io/output_files.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string content = ";Created with the Dotwright by Quelm\r\n\r\n .db %10000000\r\n";

std::string readFile(const std::string& path)
{
    std::string bytes;
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (descriptor < 0)
        return "(missing)";
    char buffer[4096];
    for (ssize_t got; (got = ::read(descriptor, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, std::size_t(got));
    ::close(descriptor);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(descriptor >= 0);
    QCOMPARE(::write(descriptor, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    ::close(descriptor);
}

struct stat statusOf(const std::string& path)
{
    struct stat status
    {
    };
    ::lstat(path.c_str(), &status);
    return status;
}

// The names in a folder, hidden ones included, as bytes and sorted: a
// temporary file left behind shows.
QStringList namesIn(const std::string& folder)
{
    QStringList names;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(QString::fromLatin1(name));
    }
    ::closedir(listing);
    names.sort();
    return names;
}

QByteArray describe(const Result<void>& result)
{
    return result ? QByteArray("ok") : QByteArray::fromStdString(result.error().message());
}

// A Unix socket bound to `path`, as a server would leave it.
bool makeSocket(const std::string& path)
{
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (descriptor < 0 || path.size() >= sizeof address.sun_path)
        return false;
    std::copy(path.begin(), path.end(), address.sun_path);
    const bool bound =
        ::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(descriptor);
    return bound;
}

// Runs `work` in a child process as the unprivileged user "nobody", and gives
// back the child's exit status; -1 when this process may not change user.
int asNobody(const std::function<int()>& work)
{
    if (::geteuid() != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

} // namespace

class TestOutputFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void regularFileIsReplacedWhole();
    void devicesAreWrittenStraightInto_data();
    void devicesAreWrittenStraightInto();
    void fifoReaderGetsTheData();
    void refusedTargets_data();
    void refusedTargets();
    void linksAreFollowed_data();
    void linksAreFollowed();
    void sameFileThroughAnyName_data();
    void sameFileThroughAnyName();
    void replacedFileKeepsModeAndOwner_data();
    void replacedFileKeepsModeAndOwner();
    void readOnlyFileIsRefusedForOrdinaryUsers();
    void namesAreBytes_data();
    void namesAreBytes();
    void fileSizeLimitIsAWriteError();
    void namesPrintOnOneLine_data();
    void namesPrintOnOneLine();

private:
    std::string path(const char* name) const { return m_folder->filePath(name).toStdString(); }

    std::optional<QTemporaryDir> m_folder;
};

void TestOutputFiles::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isValid());
}

void TestOutputFiles::regularFileIsReplacedWhole()
{
    writeFile(path("old.inc"), std::string(5000, 'x'));
    QCOMPARE(describe(writeFileAtomically(path("old.inc"), content)), "ok");
    QCOMPARE(readFile(path("old.inc")), content);
    QCOMPARE(namesIn(path("")), QStringList{"old.inc"});
}

void TestOutputFiles::devicesAreWrittenStraightInto_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<QByteArray>("outcome");

    // The kernel's null and full devices, under names of our own.
    QTest::newRow("null device") << 3 << QByteArray("ok");
    QTest::newRow("full device") << 7
                                 << QByteArray("device: cannot write: No space left on device");
}

void TestOutputFiles::devicesAreWrittenStraightInto()
{
    QFETCH(int, minor);
    QFETCH(QByteArray, outcome);
    if (::mknod(path("device").c_str(), S_IFCHR | 0666, makedev(1, unsigned(minor))) != 0)
        QSKIP("making a device needs root");

    OutputFiles files;
    files.add(path("device"), content);
    QVERIFY(files.prepare());
    const Result<void> written = files.commit();

    QCOMPARE(describe(written).replace(m_folder->path().toUtf8() + '/', ""), outcome);
    QVERIFY(S_ISCHR(statusOf(path("device")).st_mode));
    QCOMPARE(namesIn(path("")), QStringList{"device"});
}

void TestOutputFiles::fifoReaderGetsTheData()
{
    QCOMPARE(::mkfifo(path("fifo").c_str(), 0644), 0);
    // Opened first, so that the write finds its reader; the content fits the
    // pipe's buffer.
    const int fifo = ::open(path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    QVERIFY(fifo >= 0);

    const Result<void> written = writeFileAtomically(path("fifo"), content);
    std::string received;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fifo, buffer, sizeof buffer)) > 0;)
        received.append(buffer, std::size_t(got));
    ::close(fifo);

    QCOMPARE(describe(written), "ok");
    QCOMPARE(received, content);
    QVERIFY(S_ISFIFO(statusOf(path("fifo")).st_mode));
    QCOMPARE(namesIn(path("")), QStringList{"fifo"});
}

void TestOutputFiles::refusedTargets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why");

    QTest::newRow("socket") << "socket"
                            << "cannot write: is a socket, not a file";
    QTest::newRow("folder") << "folder"
                            << "cannot write: Is a directory";
    QTest::newRow("folder with a slash") << "folder/"
                                         << "cannot write: Is a directory";
    QTest::newRow("missing folder") << "nowhere/x.inc"
                                    << "cannot write: No such file or directory";
    QTest::newRow("under a file") << "old.inc/x.inc"
                                  << "cannot write: Not a directory";
}

void TestOutputFiles::refusedTargets()
{
    QFETCH(QString, name);
    QFETCH(QString, why);
    QVERIFY(makeSocket(path("socket")));
    QCOMPARE(::mkdir(path("folder").c_str(), 0755), 0);
    writeFile(path("old.inc"), "old");
    const QStringList before = namesIn(path(""));

    const std::string target =
        m_folder->filePath(name).toStdString() + (name.endsWith('/') ? "/" : "");
    const Result<void> written = writeFileAtomically(target, content);

    QVERIFY(!written);
    QCOMPARE(written.error().what, target);
    QCOMPARE(QString::fromStdString(written.error().why), why);
    QCOMPARE(namesIn(path("")), before);
    QVERIFY(S_ISSOCK(statusOf(path("socket")).st_mode));
    QCOMPARE(readFile(path("old.inc")), "old");
}

void TestOutputFiles::linksAreFollowed_data()
{
    QTest::addColumn<QString>("linkText");
    QTest::addColumn<QString>("written"); // the file that gets the content; empty: none

    QTest::newRow("to an existing file") << "old.inc"
                                         << "old.inc";
    QTest::newRow("dangling") << "new.inc"
                              << "new.inc";
    QTest::newRow("into a subfolder, relative") << "sub/new.inc"
                                                << "sub/new.inc";
    QTest::newRow("to a link") << "second"
                               << "old.inc";
    QTest::newRow("into a missing folder") << "nowhere/x.inc"
                                           << "";
}

void TestOutputFiles::linksAreFollowed()
{
    QFETCH(QString, linkText);
    QFETCH(QString, written);
    writeFile(path("old.inc"), "old");
    QCOMPARE(::mkdir(path("sub").c_str(), 0755), 0);
    QCOMPARE(::symlink("old.inc", path("second").c_str()), 0);
    QCOMPARE(::symlink(linkText.toStdString().c_str(), path("link").c_str()), 0);

    const Result<void> result = writeFileAtomically(path("link"), content);

    QCOMPARE(bool(result), !written.isEmpty());
    if (!result)
        QCOMPARE(result.error().why, "cannot write: No such file or directory");
    // The link stays a link to where it pointed.
    QVERIFY(S_ISLNK(statusOf(path("link")).st_mode));
    char text[256] = {};
    QVERIFY(::readlink(path("link").c_str(), text, sizeof text - 1) > 0);
    QCOMPARE(QString::fromUtf8(text), linkText);
    if (!written.isEmpty())
        QCOMPARE(readFile(m_folder->filePath(written).toStdString()), content);
    if (written != "old.inc")
        QCOMPARE(readFile(path("old.inc")), "old");
    // Nothing hidden is left behind, beside the link or beside its target.
    for (const char* folder : {"", "sub"})
        QVERIFY(namesIn(path(folder)).filter(QRegularExpression(QStringLiteral("^\\."))).isEmpty());
}

void TestOutputFiles::sameFileThroughAnyName_data()
{
    QTest::addColumn<QStringList>("names"); // the first is the input
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second"); // -1: all different

    QTest::newRow("spelt differently") << QStringList{"in.png", "out.inc", "./out.inc"} << 1 << 2;
    QTest::newRow("through a linked folder")
        << QStringList{"in.png", "dlink/out.inc", "real/out.inc"} << 1 << 2;
    QTest::newRow("through a link to the input") << QStringList{"in.png", "to-input"} << 0 << 1;
    QTest::newRow("a hard link of the input") << QStringList{"in.png", "hard.png"} << 0 << 1;
    QTest::newRow("output over the input")
        << QStringList{"in.png", "x.bmp", "real/../in.png"} << 0 << 2;
    QTest::newRow("all different")
        << QStringList{"in.png", "real/out.inc", "out.inc", "dlink/other.inc"} << -1 << -1;
}

void TestOutputFiles::sameFileThroughAnyName()
{
    QFETCH(QStringList, names);
    QFETCH(int, first);
    QFETCH(int, second);
    writeFile(path("in.png"), "picture");
    QCOMPARE(::mkdir(path("real").c_str(), 0755), 0);
    QCOMPARE(::symlink("real", path("dlink").c_str()), 0);
    QCOMPARE(::symlink("in.png", path("to-input").c_str()), 0);
    QCOMPARE(::link(path("in.png").c_str(), path("hard.png").c_str()), 0);
    // The names are relative to the folder, as a user in it would type them.
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));

    OutputFiles files;
    for (const QString& name : names.mid(1))
        files.add(name.toStdString(), content);
    const std::string input = names.first().toStdString();
    const auto same = files.sameFile(&input);
    QDir::setCurrent(here);

    if (second < 0) {
        QVERIFY(!same);
    } else {
        QVERIFY(same);
        QCOMPARE(int(same->first), first);
        QCOMPARE(int(same->second), second);
    }
}

void TestOutputFiles::replacedFileKeepsModeAndOwner_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("otherOwner");

    QTest::newRow("read-only") << 0444 << 0444 << false;
    QTest::newRow("set-user-ID dropped") << 04755 << 0755 << false;
    QTest::newRow("set-group-ID dropped") << 02750 << 0750 << false;
    QTest::newRow("another user's file") << 0640 << 0640 << true;
}

void TestOutputFiles::replacedFileKeepsModeAndOwner()
{
    QFETCH(int, mode);
    QFETCH(int, expected);
    QFETCH(bool, otherOwner);
    if (::geteuid() != 0)
        QSKIP("replacing a read-only or another user's file needs root");
    writeFile(path("old.inc"), "old");
    if (otherOwner)
        QCOMPARE(::chown(path("old.inc").c_str(), 65534, 65534), 0);
    QCOMPARE(::chmod(path("old.inc").c_str(), mode_t(mode)), 0);

    QCOMPARE(describe(writeFileAtomically(path("old.inc"), content)), "ok");

    const struct stat status = statusOf(path("old.inc"));
    QCOMPARE(readFile(path("old.inc")), content);
    QCOMPARE(int(status.st_mode & 07777), expected);
    QCOMPARE(status.st_uid, uid_t(otherOwner ? 65534 : 0));
    QCOMPARE(status.st_gid, gid_t(otherOwner ? 65534 : 0));
}

void TestOutputFiles::readOnlyFileIsRefusedForOrdinaryUsers()
{
    // A folder everyone may write, holding a file no one but its owner may.
    QCOMPARE(::chmod(path("").c_str(), 0777), 0);
    writeFile(path("ro.inc"), "old");
    QCOMPARE(::chmod(path("ro.inc").c_str(), 0444), 0);
    const std::string target = path("ro.inc");

    const auto attempt = [&] {
        const Result<void> written = writeFileAtomically(target, content);
        if (written)
            return 1;
        return written.error().message() == target + ": cannot write: Permission denied" ? 0 : 2;
    };
    int status = asNobody(attempt);
    if (status < 0) {
        if (::geteuid() == 0)
            QSKIP("cannot become an ordinary user");
        status = attempt();
    }

    QCOMPARE(status, 0);
    QCOMPARE(readFile(target), "old");
    QCOMPARE(namesIn(path("")), QStringList{"ro.inc"});
}

void TestOutputFiles::namesAreBytes_data()
{
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("not UTF-8") << QByteArray("out\xff.inc");
    QTest::newRow("a newline") << QByteArray("two\nlines.inc");
    // The longest a name may be: the hidden temporary name must be shortened.
    QTest::newRow("255 bytes") << QByteArray(251, 'n') + ".inc";
    QTest::newRow("248 bytes") << QByteArray(244, 'n') + ".inc";
}

void TestOutputFiles::namesAreBytes()
{
    QFETCH(QByteArray, name);
    const std::string target = path("") + "/" + name.toStdString();
    writeFile(path("keep.txt"), "kept");

    QCOMPARE(describe(writeFileAtomically(target, content)), "ok");
    QCOMPARE(describe(writeFileAtomically(target, content + "again")), "ok");

    QCOMPARE(readFile(target), content + "again");
    struct stat status
    {
    };
    QCOMPARE(::stat(target.c_str(), &status), 0);
    QStringList expected{QString::fromLatin1(name), "keep.txt"};
    expected.sort();
    QCOMPARE(namesIn(path("")), expected);
    ::unlink(target.c_str()); // the folder's own clean-up reads names as text
}

void TestOutputFiles::fileSizeLimitIsAWriteError()
{
    writeFile(path("old.inc"), "old");
    Result<void> written;
    {
        const FileSizeLimit limit(16);
        written = writeFileAtomically(path("old.inc"), content);
    }
    QCOMPARE(describe(written),
             QByteArray::fromStdString(path("old.inc")) + ": cannot write: File too large");
    QCOMPARE(readFile(path("old.inc")), "old");
    QCOMPARE(namesIn(path("")), QStringList{"old.inc"});
}

void TestOutputFiles::namesPrintOnOneLine_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("plain") << QByteArray("title.png") << QByteArray("title.png");
    QTest::newRow("UTF-8 kept") << QByteArray("t\xc3\xaftel.png") << QByteArray("t\xc3\xaftel.png");
    QTest::newRow("newline") << QByteArray("a\nb.png") << QByteArray("a\\nb.png");
    QTest::newRow("escape sequence") << QByteArray("\x1b[31mred") << QByteArray("\\x1b[31mred");
    QTest::newRow("invalid byte") << QByteArray("out\xff.inc") << QByteArray("out\\xff.inc");
    QTest::newRow("cut UTF-8") << QByteArray("ab\xc3") << QByteArray("ab\\xc3");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QByteArray("\\xc0\\xaf");
    QTest::newRow("C1 control") << QByteArray("a\xc2\x9b") << QByteArray("a\\xc2\\x9b");
    QTest::newRow("backslash") << QByteArray("a\\nb") << QByteArray("a\\\\nb");
}

void TestOutputFiles::namesPrintOnOneLine()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(printableName(name.toStdString())), shown);
}

QTEST_GUILESS_MAIN(TestOutputFiles)
#include "tst_output_files.moc"
