#pragma once

// The one way a file is written whole: the workbook, the CSV, the plots and
// the .cnf files all come through here. (The run log keeps its own records.)

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <csignal>

namespace velarion {

// Where an output path leads once its symbolic links are followed.
struct OutputTarget {
    enum class Kind {
        Replaced,    // a regular file, or none yet: written beside it, then renamed over it
        InPlace,     // a character device, a FIFO or a socket: written into, never replaced
        Descriptor,  // an open descriptor, named /dev/stdout, /dev/fd/N or /proc/self/fd/N
        Refused,     // a dangling link, a directory, a block device ...: see `refusal`
    };
    Kind kind = Kind::Refused;
    QString file;         // the file at the end of the links (also a dangling link's target)
    int descriptor = -1;  // for Kind::Descriptor
    bool exists = false;  // `file` or the descriptor's file exists: device and inode are set
    dev_t device = 0;
    ino_t inode = 0;
    QString refusal;  // why the path cannot be written, for Kind::Refused
};

// Follows the links of `path` (relative to the working directory).
OutputTarget resolveOutputTarget(const QString& path);

// True when writing both would lose one of them: they lead to the same
// file and at least one of them replaces it or creates it. Two writes into
// the same device or pipe lose nothing.
bool isSameOutput(const OutputTarget& a, const OutputTarget& b);

// Writes one whole file. A regular file (or a link to one) is written to a
// temporary file in its own directory, synced and renamed over it, then the
// directory is synced: readers see the old file or the new one, never a
// part, and a link stays a link to the new file. A device, a FIFO, a socket
// or an open descriptor is written in place. Every write's count is
// checked; a failure leaves the old file byte for byte and keeps the
// system's reason ("No space left on device", "File too large").
//
// QSaveFile is not used: it takes a short write for success, replaces a
// device node with a plain file and cannot write into a pipe.
class WholeFile {
  public:
    explicit WholeFile(QString path);
    // An uncommitted temporary file is removed; the target stays as it was.
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    bool open();
    // Appends `bytes`; false once anything has failed.
    bool write(const QByteArray& bytes);
    // Puts the file in place. False, with errorString() set, when anything
    // since open() failed; the old file is then kept.
    bool commit();

    const QString& path() const { return path_; }
    // The first failure's reason.
    const QString& errorString() const { return error_; }

  private:
    bool flushPending();
    bool createTemporary();
    bool fail(int error);
    bool fail(const QString& reason);
    void discard();

    QString path_;
    OutputTarget target_;
    int fd_ = -1;
    bool ownsFd_ = false;
    QString temporary_;     // the file renamed over the target at commit()
    int pendingSlot_ = -1;  // where a signal handler finds temporary_
    QByteArray pending_;
    QString error_;
};

// A file of the process's own in the temporary directory ($TMPDIR, else
// /tmp), for a library that writes only to a path of its own choosing
// (netCDF): made empty, removed when the object goes, and, as a WholeFile's
// temporary file, by a signal that ends the process.
class ScratchFile {
  public:
    // `suffix` ends the name, e.g. ".nc".
    explicit ScratchFile(const QString& suffix);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // False, with errorString() set, when no file could be made.
    bool isValid() const { return !path_.isEmpty(); }
    const QString& path() const { return path_; }
    const QString& errorString() const { return error_; }

  private:
    QString path_;
    QString error_;
    int pendingSlot_ = -1;
};

// Writes `bytes` as the whole file at `path`. False, with the reason in
// `reason`, when it could not; the old file is then kept.
bool writeWholeFile(const QString& path, const QByteArray& bytes, QString& reason);

// The signals that end a program when a user, a terminal or a job scheduler
// asks it to (kill, a closed terminal, Ctrl-C, scancel, a time limit).
inline constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

// Makes `signal` remove the temporary files of every WholeFile not yet
// committed or discarded, then end the process by the same signal as its
// default action does: the exit status is the same, and no temporary file
// is left behind. A signal the process was started ignoring (nohup) stays
// ignored.
void removeTemporaryFilesOn(int signal);

// The same for each of kEndingSignals, and a write beyond the file size
// limit (ulimit -f) fails with EFBIG, "File too large", instead of ending the
// process by SIGXFSZ and leaving its temporary file. For every program's
// main().
void guardTemporaryFiles();

// Removes those temporary files now. Async-signal-safe: for a signal
// handler that ends the process itself.
void removeTemporaryFiles();

}  // namespace velarion
