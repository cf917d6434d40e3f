// Writing whole files: through a temporary file and a rename for regular
// files, in place for devices, pipes and open descriptors.
#include "whole_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace velarion {

namespace {

constexpr int kMaxLinks = 40;                 // as the kernel's own limit
constexpr qsizetype kWriteChunk = 64 * 1024;  // bytes gathered before one write(2)
constexpr int kTemporaryAttempts = 100;

// The temporary files that a signal ending the process must remove. A slot
// is claimed before its file is created and freed after the file is renamed
// or removed, so a signal finds every file that exists, and at worst a name
// that no longer does. A handler takes a pending slot for itself before it
// reads the path, so a slot being freed and claimed again is never read
// half written.
struct PendingTemporary {
    enum State { Free, Filling, Pending, Removing };
    std::atomic<int> state{Free};
    std::array<char, PATH_MAX> path{};
};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");
// More than any program here writes at once.
std::array<PendingTemporary, 16> pendingTemporaries;

// The slot holding `path`, or -1 when every slot is taken (the file is
// then written unguarded) or the path is too long to keep.
int holdPending(const QByteArray& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (std::size_t i = 0; i < pendingTemporaries.size(); ++i) {
        PendingTemporary& slot = pendingTemporaries[i];
        int expected = PendingTemporary::Free;
        if (slot.state.compare_exchange_strong(expected, PendingTemporary::Filling)) {
            std::memcpy(slot.path.data(), path.constData(), static_cast<std::size_t>(path.size()));
            slot.path[static_cast<std::size_t>(path.size())] = '\0';
            slot.state.store(PendingTemporary::Pending);
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A slot a handler has taken stays taken: the process is ending.
void releasePending(int& slot) {
    if (slot >= 0) {
        int expected = PendingTemporary::Pending;
        pendingTemporaries[static_cast<std::size_t>(slot)].state.compare_exchange_strong(
            expected, PendingTemporary::Free);
    }
    slot = -1;
}

void removeAndEnd(int signal) {
    removeTemporaryFiles();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    // Blocked while this handler runs; delivered, with its default action,
    // as it returns.
    ::raise(signal);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray nativeName(const QString& path) {
    return QFile::encodeName(path);
}

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// The descriptor that a path names instead of a file of its own:
// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N (also with this
// process's id). Opening such a path anew would truncate a redirected
// file, so the open descriptor is written at its own position. -1 for any
// other path.
int namedDescriptor(const QString& path) {
    const QString clean = absoluteClean(path);
    if (clean == QStringLiteral("/dev/stdout")) {
        return STDOUT_FILENO;
    }
    if (clean == QStringLiteral("/dev/stderr")) {
        return STDERR_FILENO;
    }
    static const QRegularExpression fdPath(
        QStringLiteral(R"(^(?:/dev|/proc/(self|thread-self|\d+))/fd/(\d{1,9})$)"));
    const auto match = fdPath.match(clean);
    if (!match.hasMatch()) {
        return -1;
    }
    const QString process = match.captured(1);
    bool isNumber = false;
    const qint64 pid = process.toLongLong(&isNumber);
    if (isNumber && pid != ::getpid()) {
        return -1;
    }
    return match.captured(2).toInt();
}

// The directory that holds `file`, as an absolute path for a signal
// handler to use, its ".." left for the system to resolve: after a link to
// a directory, a ".." leads to that directory's parent.
QString absoluteDirectoryOf(const QString& file) {
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    const QString directory =
        slash < 0 ? QStringLiteral(".") : file.left(std::max<qsizetype>(slash, 1));
    return QDir::isAbsolutePath(directory) ? directory
                                           : QDir::currentPath() + QLatin1Char('/') + directory;
}

// A link's target, taken relative to the link's own directory.
QString linkTarget(const QString& link, int& error) {
    QByteArray buffer(4096, '\0');
    const ssize_t n = ::readlink(nativeName(link).constData(), buffer.data(), buffer.size());
    if (n < 0 || n == buffer.size()) {
        error = n < 0 ? errno : ENAMETOOLONG;
        return {};
    }
    const QString target = QFile::decodeName(buffer.left(n));
    if (QDir::isAbsolutePath(target)) {
        return target;
    }
    const qsizetype slash = link.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? target : link.left(slash + 1) + target;
}

OutputTarget refused(const QString& reason) {
    OutputTarget t;
    t.refusal = reason;
    return t;
}

void setIdentity(OutputTarget& t, const struct stat& s) {
    t.exists = true;
    t.device = s.st_dev;
    t.inode = s.st_ino;
}

// What lies at `file`, the end of the links.
OutputTarget targetOf(const QString& file, const struct stat& s) {
    OutputTarget t;
    t.file = file;
    setIdentity(t, s);
    if (S_ISREG(s.st_mode)) {
        t.kind = OutputTarget::Kind::Replaced;
    } else if (S_ISDIR(s.st_mode)) {
        t.refusal = QStringLiteral("%1 is a directory").arg(file);
    } else if (S_ISBLK(s.st_mode)) {
        t.refusal = QStringLiteral("%1 is a block device, which is never written over").arg(file);
    } else {
        t.kind = OutputTarget::Kind::InPlace;
    }
    return t;
}

OutputTarget descriptorTarget(int fd) {
    OutputTarget t;
    t.kind = OutputTarget::Kind::Descriptor;
    t.descriptor = fd;
    struct stat s {};
    if (::fstat(fd, &s) == 0) {
        setIdentity(t, s);
    }
    return t;
}

// The same file, told by device and inode when it exists and by its
// absolute path (its directory's links resolved) when it does not yet.
bool sameFile(const OutputTarget& a, const OutputTarget& b) {
    if (a.exists || b.exists) {
        return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
    }
    const auto where = [](const QString& file) {
        const QFileInfo info(absoluteClean(file));
        const QString directory = QFileInfo(info.absolutePath()).canonicalFilePath();
        return directory.isEmpty() ? info.filePath() : directory + '/' + info.fileName();
    };
    return !a.file.isEmpty() && where(a.file) == where(b.file);
}

bool replacesOrCreates(const OutputTarget& t) {
    return t.kind == OutputTarget::Kind::Replaced ||
           (t.kind == OutputTarget::Kind::Refused && !t.file.isEmpty());
}

}  // namespace

OutputTarget resolveOutputTarget(const QString& path) {
    if (path.isEmpty()) {
        return refused(systemReason(ENOENT));
    }
    QString current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        if (const int fd = namedDescriptor(current); fd >= 0) {
            return descriptorTarget(fd);
        }
        struct stat s {};
        if (::lstat(nativeName(current).constData(), &s) != 0) {
            const int error = errno;
            if (error != ENOENT) {
                return refused(systemReason(error));
            }
            OutputTarget t;
            t.file = current;
            if (links == 0) {
                t.kind = OutputTarget::Kind::Replaced;
            } else {
                t.refusal = QStringLiteral("%1 is a symbolic link to %2, which does not exist")
                                .arg(path, current);
            }
            return t;
        }
        if (!S_ISLNK(s.st_mode)) {
            return targetOf(current, s);
        }
        int error = 0;
        current = linkTarget(current, error);
        if (error != 0) {
            return refused(systemReason(error));
        }
    }
    return refused(systemReason(ELOOP));
}

bool isSameOutput(const OutputTarget& a, const OutputTarget& b) {
    return (replacesOrCreates(a) || replacesOrCreates(b)) && sameFile(a, b);
}

WholeFile::WholeFile(QString path) : path_(std::move(path)) {}

WholeFile::~WholeFile() {
    discard();
}

bool WholeFile::open() {
    discard();
    error_.clear();
    target_ = resolveOutputTarget(path_);
    switch (target_.kind) {
        case OutputTarget::Kind::Refused:
            return fail(target_.refusal);
        case OutputTarget::Kind::Descriptor:
            if (::fcntl(target_.descriptor, F_GETFL) < 0) {
                return fail(errno);
            }
            fd_ = target_.descriptor;
            ownsFd_ = false;
            return true;
        case OutputTarget::Kind::InPlace:
            fd_ = ::open(nativeName(target_.file).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (fd_ < 0) {
                return fail(errno);
            }
            ownsFd_ = true;
            return true;
        case OutputTarget::Kind::Replaced:
            break;
    }
    // A file that may not be written is not replaced either, even though
    // its directory would allow the rename.
    if (target_.exists && ::access(nativeName(target_.file).constData(), W_OK) != 0) {
        return fail(errno);
    }
    return createTemporary();
}

// A new name beside the target, created with mode 0666 so that the umask
// applies as to any new file; a replaced file's mode is then copied. The
// name has a length of its own, so any name the file system takes for the
// target leaves room for it.
bool WholeFile::createTemporary() {
    const QString directory = absoluteDirectoryOf(target_.file);
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const QString name = directory + QStringLiteral("/.velarion-%1.tmp")
                                             .arg(QRandomGenerator::global()->generate64(), 13, 36,
                                                  QLatin1Char('0'));
        const QByteArray native = nativeName(name);
        pendingSlot_ = holdPending(native);
        fd_ = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            ownsFd_ = true;
            temporary_ = name;
            break;
        }
        const int error = errno;
        releasePending(pendingSlot_);
        if (error != EEXIST) {
            return fail(error);
        }
    }
    if (fd_ < 0) {
        return fail(EEXIST);
    }
    struct stat old {};
    if (target_.exists && ::stat(nativeName(target_.file).constData(), &old) == 0) {
        // Best effort, as cp does: a file system without modes keeps its own.
        [[maybe_unused]] const int kept = ::fchmod(fd_, old.st_mode & 07777);
    }
    return true;
}

bool WholeFile::write(const QByteArray& bytes) {
    if (!error_.isEmpty() || fd_ < 0) {
        return false;
    }
    pending_ += bytes;
    return pending_.size() < kWriteChunk || flushPending();
}

// write(2) may take fewer bytes than it is given (a disk that fills, a file
// size limit, a pipe): the rest is written again, and the call that takes
// nothing tells why.
bool WholeFile::flushPending() {
    const char* data = pending_.constData();
    qsizetype left = pending_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail(n < 0 ? errno : EIO);
        }
        data += n;
        left -= n;
    }
    pending_.clear();
    return true;
}

bool WholeFile::commit() {
    if (!error_.isEmpty() || fd_ < 0 || !flushPending()) {
        if (error_.isEmpty()) {
            fail(EBADF);
        }
        discard();
        return false;
    }
    if (temporary_.isEmpty()) {
        // In place: a device or a pipe has nothing to sync or rename.
        const int fd = fd_;
        fd_ = -1;
        if (ownsFd_ && ::close(fd) != 0) {
            return fail(errno);
        }
        return true;
    }
    if (::fsync(fd_) != 0 || ::close(std::exchange(fd_, -1)) != 0) {
        const int error = errno;
        discard();
        return fail(error);
    }
    if (::rename(nativeName(temporary_).constData(), nativeName(target_.file).constData()) != 0) {
        const int error = errno;
        discard();
        return fail(error);
    }
    temporary_.clear();
    releasePending(pendingSlot_);
    // The new file is in place; syncing its directory makes the rename
    // last through a crash. A failure there cannot bring the old file back.
    const int directory = ::open(nativeName(QFileInfo(target_.file).path()).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

bool WholeFile::fail(int error) {
    return fail(systemReason(error));
}

bool WholeFile::fail(const QString& reason) {
    if (error_.isEmpty()) {
        error_ = reason;
    }
    return false;
}

void WholeFile::discard() {
    if (fd_ >= 0 && ownsFd_) {
        ::close(fd_);
    }
    fd_ = -1;
    if (!temporary_.isEmpty()) {
        ::unlink(nativeName(temporary_).constData());
        temporary_.clear();
    }
    releasePending(pendingSlot_);
    pending_.clear();
}

ScratchFile::ScratchFile(const QString& suffix) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        const QString name =
            QDir::tempPath() +
            QStringLiteral("/velarion-%1")
                .arg(QRandomGenerator::global()->generate64(), 13, 36, QLatin1Char('0')) +
            suffix;
        const QByteArray native = nativeName(name);
        pendingSlot_ = holdPending(native);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            path_ = name;
            return;
        }
        const int error = errno;
        releasePending(pendingSlot_);
        if (error != EEXIST) {
            error_ = systemReason(error);
            return;
        }
    }
    error_ = systemReason(EEXIST);
}

ScratchFile::~ScratchFile() {
    if (!path_.isEmpty()) {
        ::unlink(nativeName(path_).constData());
    }
    releasePending(pendingSlot_);
}

bool writeWholeFile(const QString& path, const QByteArray& bytes, QString& reason) {
    WholeFile file(path);
    if (file.open() && file.write(bytes) && file.commit()) {
        return true;
    }
    reason = file.errorString();
    return false;
}

void removeTemporaryFilesOn(int signal) {
    // A signal ignored from the start (nohup, a background job) stays so.
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = removeAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void guardTemporaryFiles() {
    for (const int signal : kEndingSignals) {
        removeTemporaryFilesOn(signal);
    }
    ::signal(SIGXFSZ, SIG_IGN);
}

// Only async-signal-safe calls: lock-free atomics and unlink(2).
void removeTemporaryFiles() {
    const int savedErrno = errno;
    for (PendingTemporary& slot : pendingTemporaries) {
        int expected = PendingTemporary::Pending;
        if (slot.state.compare_exchange_strong(expected, PendingTemporary::Removing)) {
            ::unlink(slot.path.data());
        }
    }
    errno = savedErrno;
}

}  // namespace velarion
