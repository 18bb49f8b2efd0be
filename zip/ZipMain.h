#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace backup {

// Result codes of the archive methods (16 bit, 0 = success). The texts the
// operator sees for them are in XZIPDEMO1 (ShowResultMessage).
namespace zipresult {
constexpr quint16 Success = 0;
constexpr quint16 SkippedFiles = 40;
constexpr quint16 EmptyZipFile = 50;
constexpr quint16 FileNotFound = 100; // the archive is missing
constexpr quint16 CannotFix = 110;    // damaged beyond what fix can mend
constexpr quint16 InsufficientMemory = 120;
constexpr quint16 InvalidSettings = 130;
constexpr quint16 DiskFull = 150;
constexpr quint16 CorruptedArchive = 160;
constexpr quint16 UserAborted = 190;
constexpr quint16 TestFailed = 200;
constexpr quint16 NothingTested = 210;
constexpr quint16 TempFileProblem = 280;
constexpr quint16 ReadError = 290;
constexpr quint16 WriteError = 300;
constexpr quint16 CreateError = 310;
constexpr quint16 DuplicateNames = 370; // two files would share one entry name
constexpr quint16 NothingToDate = 380;
constexpr quint16 ReadWriteError = 400;
constexpr quint16 MultidiskNeedsMode = 410;
constexpr quint16 WrongDiskTooOften = 420;
constexpr quint16 NotForMultidisk = 430;
constexpr quint16 CreateFolderError = 510;
constexpr quint16 EncryptionFailed = 520; // asked to encrypt, could not: nothing written
constexpr quint16 NoRoom = 530;           // the file system has no room left (not a full disk inserted)
} // namespace zipresult

// Reasons carried by SkippingFile.
namespace skipreason {
constexpr int FileNotFound = 0;
constexpr int UnknownCompression = 1;
constexpr int BadCrc = 2;
constexpr int UpToDate = 3;
constexpr int CannotOpen = 4;
constexpr int BadPassword = 5;
constexpr int CorruptedData = 6;
constexpr int NotOverwritten = 7;
} // namespace skipreason

// Answers a Replace handler writes into cmd.
namespace replacecmd {
constexpr int Keep = 0;
constexpr int Replace = 1;
} // namespace replacecmd

// Settings and methods by the numbers the backup window knows them by.
namespace zipid {
constexpr int Abort = 1;
constexpr int CompressionLevel = 2;
constexpr int ClearDisks = 3;
constexpr int ExtractFolder = 4;
constexpr int Multidisk = 10;
constexpr int UseTempFile = 17;
constexpr int ZipFilename = 18;
constexpr int EntryCount = 19;
constexpr int FilesToProcess = 21;
constexpr int Test = 45;
constexpr int Fix = 46;
constexpr int Add = 47;
constexpr int Extract = 48;
constexpr int List = 49;
constexpr int UpdateZipDate = 50;
constexpr int Delete = 51;
} // namespace zipid

// Add modes.
namespace addmode {
constexpr int Add = 0;
constexpr int Update = 2; // only files newer than their entry (or not yet in the archive)
} // namespace addmode

// What the component tells its owner while a method runs. Every callback is
// optional and is called on the thread that called the method; between
// callbacks pending window events are let through, so an Abort click arrives.
//
// Names travel with backslashes between folders ("data\Vantrel.mdb"); a
// folder entry ends in a backslash.
struct ZipEvents {
    std::function<void(const QString &fileName, qint64 size)> Adding;
    std::function<void(const QString &fileName, qint64 size)> Updating;
    std::function<void(const QString &fileName, qint64 size)> Extracting;
    std::function<void(const QString &fileName, qint64 size)> Testing;
    std::function<void(const QString &fileName)> Deleting;
    std::function<void(const QString &fileName)> Fixing;
    // fTime is "dd/mm/yy HH:MM"; ratio is the percent saved (0 for an empty entry).
    std::function<void(const QString &fileName, qint64 size, qint64 packedSize, const QString &fTime, int ratio)>
        Listing;
    // Completion in percent of the entry being worked on; rises to 100.
    std::function<void(int completion)> Status;
    // diskNumber 0: the last disk of the set is wanted; otherwise disk n (1-based).
    std::function<void(int diskNumber)> Newdisk;
    // cmd comes in as replacecmd::Keep; write replacecmd::Replace to overwrite.
    std::function<void(const QString &origName, int &cmd)> Replace;
    std::function<void(const QString &fileName, int reason)> SkippingFile;
    // Extract: the first bytes of an entry (up to 4096) before anything of
    // it is kept; false skips it (reason 6) without reading further.
    std::function<bool(const QString &fileName, const QByteArray &firstBytes)> Admit;
    // Extract: the full path an entry would be written to, before any folder
    // is made for it; false leaves the entry out, without a further event
    // (the owner tells why).
    std::function<bool(const QString &fileName, const QString &destination)> Place;
};

// The archive component of the backup windows: one zip archive named by
// zipFilename(), worked on by the methods below. Methods return a result code
// (zipresult) and empty the files-to-process list when they end.
//
// Paths: "A:\..." is drive A (platform::DriveA); other names are local paths,
// relative ones taken from the current folder. With no disk in drive A the
// methods return 100 (reading) or 310 (writing). Archives and extracted
// files are created readable and writable by the owner only.
//
// Entry names: a file given by a relative name keeps its folders in the
// archive, one given by an absolute name is stored by its name alone; a
// folder is added with everything in it. Two files that would get one name
// give 370 and change nothing. Extract never writes outside the extraction
// folder (an entry named so is skipped with reason 4) and puts a file in
// place only once it is whole; Replace's origName is the local path of the
// file that exists.
//
// Multidisk mode on drive A writes a standard split archive: disk n holds
// its part under the archive's own name, the last disk also holds the
// central directory. The first disk is the one in the drive; Newdisk(n)
// asks for each further one (a disk still holding the part just written is
// asked for again, three times at most, then 420); with clear disks on
// every disk, the first included, is erased before it is written. A set
// cannot be added to (430): it is written anew. Off drive A there are no
// disks to change and the archive is an ordinary one. Reading a set asks
// for the last disk first (Newdisk(0)) and then for disks 1, 2, ... in
// turn; a set off drive A is read from its parts beside the archive,
// name.z01, name.z02, ... (the naming Info-ZIP and 7-Zip use).
//
// A simulated drive A (VANTREL_DRIVE_A) keeps the disks taken out of it:
// when a disk is full its part is moved to <folder>/.disks/<n> and the
// folder is the next empty disk; reading looks for disk n there first.
// Copying .disks/1 ... to name.z01 ... beside the last part gives a set
// `zip -s 0` joins.
class ZipMain : public QObject
{
    Q_OBJECT
public:
    explicit ZipMain(QObject *parent = nullptr);
    ~ZipMain() override;

    ZipEvents &events();

    // 1: only honoured while useTempFile() is on; the running method then
    // stops, leaves the archive as it was and returns 190.
    void setAbort(bool abort);
    bool abortRequested() const;
    // 2: 0 store, 1 fastest ... 6 normal ... 9 best.
    void setCompressionLevel(int level);
    int compressionLevel() const;
    // 3
    void setClearDisks(bool clear);
    bool clearDisks() const;
    // 4
    void setExtractFolder(const QString &folder);
    QString extractFolder() const;
    // 10
    void setMultidisk(bool multidisk);
    bool multidisk() const;
    // 17
    void setUseTempFile(bool use);
    bool useTempFile() const;
    // 18: empty means no archive is open.
    void setZipFilename(const QString &fileName);
    QString zipFilename() const;
    // 19: entries in the named archive (0 when it cannot be read); for a
    // split set, what its last disk announces, without asking for disks.
    int entryCount();
    // 21: names, each followed by "\r".
    void setFilesToProcess(const QString &names);
    QString filesToProcess() const;
    // Empty: no encryption. Otherwise new entries are written with AES-256
    // and reading uses it.
    void setPassword(const QString &password);

    quint16 Test();                // 45
    quint16 Fix(bool aggressive);  // 46
    quint16 Add(int mode);         // 47
    quint16 Extract(int mode = 0); // 48
    quint16 List();                // 49
    quint16 UpdateZipDate();       // 50
    quint16 Delete();              // 51

    // The same settings and methods by Id. An unknown Id reads as an invalid
    // QVariant and invokes as 130.
    QVariant value(int id) const;
    void setValue(int id, const QVariant &value);
    quint16 invoke(int id, const QVariant &argument = QVariant());

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace backup
