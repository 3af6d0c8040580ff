// The recording: file choice, comment, closing of the file set, and the
// header and description files written at the end of a recorded run.
#include "app/format.h"
#include "app/principale.h"
#include "platform/folders.h"
#include "platform/dialogs.h"
#include "recording/comment.h"
#include "recording/data_write.h"
#include "recording/companion_names.h"
#include "recording/description.h"
#include "recording/header_record.h"
#include "recording/system_errors.h"
#include "recording/temporary_file.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace SonivarACQ32 {
namespace {

const QString extension_entete = QStringLiteral(".Zv");
const QString extension_description = QStringLiteral(".log");

// Creates or truncates `path` and hands it to a QFile. Opened by hand so
// that the reason of a failure (errno) is known exactly.
std::unique_ptr<QFile> create_truncated(const QString& path, QIODevice::OpenMode mode, int& err)
{
    const int flags = (mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY;
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CREAT | O_TRUNC | O_CLOEXEC,
                          0666);
    if (fd < 0) {
        err = errno;
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, mode, QFileDevice::AutoCloseHandle)) {
        err = EIO;
        ::close(fd);
        return nullptr;
    }
    return file;
}

void report_open_failure(const QString& kind, const QString& path, int err)
{
    Principale::call_verb(QStringLiteral("Impossible de créer le fichier %1 %2 : %3\r\n")
                              .arg(kind, path, raison_erreur(err)),
                          0);
}

// Writes all of `bytes` from the file's start and pushes them to the
// system, so that a full disk shows here rather than unnoticed when the
// file is closed; what the file held past them is cut. A regular file is
// written through its descriptor, so that the system's reason of a failure
// is the one reported however many writes failed before (a buffered file
// that failed once fails again without a reason).
bool rewrite_whole(QFile& file, const QByteArray& bytes, int& err)
{
    err = 0;
    if (file.isSequential()) {  // a device: written as it comes
        errno = 0;
        const bool ok = file.write(bytes) == bytes.size() && file.flush();
        err = ok ? 0 : (errno != 0 ? errno : EIO);
        return ok;
    }
    const int fd = file.handle();
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        err = errno;
        return false;
    }
    const auto size = static_cast<std::size_t>(bytes.size());
    err = write_packet(fd, reinterpret_cast<const unsigned char*>(bytes.constData()), size).err;
    if (err == 0)
        err = truncate_file(fd, size);
    return err == 0;
}

void report_write_failure(const QString& kind, const QString& path, int err)
{
    Principale::call_verb(QStringLiteral("Erreur d'écriture du fichier %1 %2 : %3\r\n")
                              .arg(kind, path, raison_erreur(err)),
                          0);
}

enum class Replacement { done, failed, not_created };

// `bytes` written under a temporary name in the folder of `path` and renamed
// over it once whole; written unbuffered, so that a write cut short (full
// disk, size limit) shows in its count.
Replacement replace_whole(const QString& path, const QByteArray& bytes, int& err)
{
    std::string temp;
    const int fd = create_temporary(QFile::encodeName(QFileInfo(path).absolutePath()).toStdString(), temp);
    if (fd < 0)
        return Replacement::not_created;
    err = write_packet(fd, reinterpret_cast<const unsigned char*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()))
              .err;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), QFile::encodeName(path).constData()) != 0)
        err = errno;
    if (err != 0)
        ::unlink(temp.c_str());
    return err == 0 ? Replacement::done : Replacement::failed;
}

void set_button_look(QPushButton* button, const QString& text, int point_size)
{
    button->setText(text);
    QFont font = button->font();  // family and style kept
    font.setPointSize(point_size);
    button->setFont(font);
}

void close_stream(std::unique_ptr<QFile>& file)
{
    if (file) {
        file->close();
        file.reset();
    }
}

} // namespace

// ------------------------------------------------------- recording switch
void Principale::checkBox_Record_CheckedChanged()
{
    record = checkBox_Record->isChecked();
    button_Comment->setVisible(record);
    button_Fichier->setVisible(record);
}

// ------------------------------------------------------------ file choice
void Principale::button_Fichier_Click()
{
    // A set chosen earlier and not used yet is closed; it stays on disk, empty.
    if (file_open)
        close_file_set(false);
    file_open = false;

    // The dialog opens where the operator last chose a recording.
    const QString folder = acqui_name.isEmpty() ? platform::folder_for(platform::FileKind::recordings)
                                                : QFileInfo(acqui_name).absolutePath();
    const QString chosen = platform::dialogs().save_file(this, data_file_filter, folder);
    if (chosen.isEmpty())
        return;
    platform::remember_folder(platform::FileKind::recordings, chosen);
    const QString data_path = data_file_path(chosen);
    if (!companions_may_be_replaced(data_path))
        return;
    acqui_name = data_path;
    call_verb(QStringLiteral("Nom du fichier d'acquisition : ") + acqui_name + QStringLiteral("\r\n"),
              0);
    file_open = open_file_set();
}

// The dialog asks about the data file only. A header or description file
// already beside a new data file belongs to something else: the operator
// says whether it may be replaced ("Non" cancels the choice). A folder or a
// device in the way is not asked about: creating the file fails and says so.
bool Principale::companions_may_be_replaced(const QString& data_path)
{
    if (QFileInfo::exists(data_path))
        return true;  // a recording replaced as a whole, as the dialog asked
    QStringList existing;
    for (const QString& extension : {extension_entete, extension_description})
        if (const QString path = companion_path(data_path, extension); QFileInfo(path).isFile())
            existing << QFileInfo(path).fileName();
    if (existing.isEmpty())
        return true;
    const QString text = existing.size() > 1
                             ? QStringLiteral("Ces fichiers existent déjà à côté de %1 et seraient remplacés : %2.\r\n"
                                              "Les remplacer ?")
                             : QStringLiteral("Ce fichier existe déjà à côté de %1 et serait remplacé : %2.\r\n"
                                              "Le remplacer ?");
    return platform::dialogs().question(this, QStringLiteral("Fichiers existants"),
                                        text.arg(QFileInfo(data_path).fileName(), existing.join(QStringLiteral(", "))));
}

bool Principale::open_file_set()
{
    Filep = std::fopen(QFile::encodeName(acqui_name).constData(), "wb+");
    if (Filep == nullptr) {
        report_open_failure(QStringLiteral("de données"), acqui_name, errno);
        return false;
    }
    // The packets go to the system as they come (write_packet): no stdio
    // buffer may hold back what a crash would lose.
    std::setvbuf(Filep, nullptr, _IONBF, 0);
    // Each companion beside the data file; one that cannot be created closes
    // what is open.
    auto companion = [this](std::unique_ptr<QFile>& file, const QString& extension,
                            QIODevice::OpenMode mode, const QString& kind) {
        int err = 0;
        const QString path = companion_path(acqui_name, extension);
        file = create_truncated(path, mode, err);
        if (!file) {
            report_open_failure(kind, path, err);
            close_file_set(false);
        }
        return file != nullptr;
    };
    return companion(Zv, extension_entete, QIODevice::ReadWrite, QStringLiteral("d'en-tête")) &&
           companion(log, extension_description, QIODevice::WriteOnly,
                     QStringLiteral("de description"));
}

// ------------------------------------------------------ closing of the set
void Principale::close_file_set(bool write_description)
{
    close_data_file();
    if (write_description) {
        // A folder removed during the run takes the files with it: the
        // writes below would succeed on files nobody can reach any more.
        const QString folder = QFileInfo(acqui_name).absolutePath();
        if (!QFileInfo::exists(folder))
            info(QStringLiteral("Le dossier de l'enregistrement n'existe plus : %1\r\n")
                     .arg(QDir::toNativeSeparators(folder)));
        ecrit_log();
    }
    close_stream(log);
    close_stream(Zv);
    file_open = false;
}

void Principale::close_data_file()
{
    if (Filep == nullptr)
        return;
    // fclose pushes out what the stream still buffers: its failure loses data.
    const int result = std::fclose(Filep);
    const int err = errno;
    Filep = nullptr;
    if (result != 0)
        call_verb(QStringLiteral("Erreur à la fermeture du fichier de données %1 : %2\r\n")
                      .arg(acqui_name, raison_erreur(err)),
                  0);
}

void Principale::ecrit_log()
{
    write_companions(true);
}

void Principale::write_early_companions()
{
    // A run that recorded nothing yet: a crash from here on still leaves
    // companions that say what the data file holds.
    header_file.nb_ech = 0;
    header_file.duree_acq = 0.0f;
    write_companions(false);
}

void Principale::write_companions(bool final_version)
{
    int err = 0;
    if (Zv) {
        // Fixed size: rewritten in place.
        const QByteArray record_bytes(reinterpret_cast<const char*>(&header_file),
                                      sizeof header_file);
        if (!rewrite_whole(*Zv, record_bytes, err))
            report_write_failure(QStringLiteral("d'en-tête"),
                                 companion_path(acqui_name, extension_entete), err);
    }
    if (!log)
        return;
    const QByteArray text =
        description_text(header_file, nb_voies, nb_micros, commentaire, fmt::locale()).toUtf8();
    const QString path = companion_path(acqui_name, extension_description);
    // The final version is written beside the early one and renamed over
    // it: a crash or a full disk meanwhile leaves the early one whole. Where
    // nothing can be created beside it (a device, a folder without write
    // access), it is rewritten in place.
    if (final_version && QFileInfo(path).isFile()) {
        const Replacement r = replace_whole(path, text, err);
        if (r == Replacement::failed)
            report_write_failure(QStringLiteral("de description"), path, err);
        if (r != Replacement::not_created)
            return;
    }
    if (!rewrite_whole(*log, text, err))
        report_write_failure(QStringLiteral("de description"), path, err);
}

// ------------------------------------------------------------ comment box
void Principale::button_Comment_Click()
{
    commentaires = !commentaires;
    if (commentaires)
        open_comment_box();
    else
        close_comment_box();
}

void Principale::open_comment_box()
{
    groupBox_Comment->show();
    set_button_look(button_Comment, QStringLiteral("Ferme Comment."), 12);
    // Only the comment button stays usable while the box is open.
    set_all_enabled(false);
    enable();
    button_Comment->setEnabled(true);
    button_Stop->hide();
}

void Principale::close_comment_box()
{
    set_button_look(button_Comment, QStringLiteral("Commentaires"), 15);
    groupBox_Comment->hide();
    // The raw text: toPlainText() would turn no-break spaces into plain ones.
    commentaire = padded_comment(comment_with_crlf(textBox_Comment->document()->toRawText()));
    const auto field = comment_field(commentaire);
    std::memcpy(header_file.texte_commentaire, field.data(), field.size());
    set_all_enabled(true);
    enable();
}

} // namespace SonivarACQ32
