#include "stream/saved_file.h"

#include "recording/system_errors.h"
#include "recording/temporary_file.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace SonivarACQ32::stream {

namespace {

bool write_all(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return ::fsync(fd) == 0;
}

} // namespace

QString save_target(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
}

QString save_refusal(const QString& path, const std::vector<FileIdentity>& reads)
{
    struct stat st {};
    if (::stat(save_target(path).toLocal8Bit().constData(), &st) != 0)
        return {};  // a new file
    if (std::find(reads.begin(), reads.end(), FileIdentity{st.st_dev, st.st_ino}) != reads.end())
        return QStringLiteral("c'est un fichier que la fenêtre lit : rien n'a été écrit");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("ce n'est pas un fichier ordinaire");
    return {};
}

QString save_whole(const QString& path, const QByteArray& bytes, const std::vector<FileIdentity>& reads)
{
    if (QString why = save_refusal(path, reads); !why.isEmpty())
        return why;
    const QString target = save_target(path);
    std::string temp;
    const int fd = create_temporary(QFileInfo(target).absolutePath().toStdString(), temp);
    if (fd < 0)
        return raison_erreur(errno);
    const bool written = write_all(fd, bytes);
    int err = errno;
    const bool closed = ::close(fd) == 0;
    err = closed ? err : errno;
    if (!written || !closed || std::rename(temp.c_str(), target.toLocal8Bit().constData()) != 0) {
        err = written && closed ? errno : err;
        ::unlink(temp.c_str());
        return raison_erreur(err);
    }
    return {};
}

} // namespace SonivarACQ32::stream
