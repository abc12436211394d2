#pragma once

#include <QString>

// A small disk of the test's own for the faults of a full or read-only disk: a tmpfs
// mounted on a folder when the test runs as root; otherwise only a read-only folder
// can be had (permissions, which bind everyone but root).
class CSmallDisk
{
public:
    ~CSmallDisk();
    CSmallDisk() = default;
    CSmallDisk(const CSmallDisk &) = delete;
    CSmallDisk &operator=(const CSmallDisk &) = delete;

    static bool CanMount();

    // Mounts a tmpfs of `nBytes` on the folder (created if missing); returns why it
    // failed, or an empty text.
    QString Mount(const QString &strDir, qint64 nBytes);
    bool IsMounted() const { return !m_strDir.isEmpty(); }
    QString Dir() const { return m_strDir; }

    // Fills the free room with a file of zeros; Unfill() takes it away again.
    QString Fill();
    void Unfill();
    // Makes the disk (or, without a mount, the folder) read-only or writable again.
    QString SetReadOnly(const QString &strDir, bool bReadOnly);
    void Unmount();

private:
    QString m_strDir;
    QString m_strFiller;
};
