#pragma once

#include <QByteArray>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <functional>

// Perl's own library files concatenated up to `size` bytes (repeated when the library
// is smaller): real Perl, with the real mix of sigils, strings and pod.
inline QByteArray PerlLibraryText(qsizetype size)
{
    QByteArray text;
    text.reserve(size);
    QStringList roots;
    for (const char *root : {"/usr/share/perl", "/usr/lib/x86_64-linux-gnu/perl", "/usr/share/perl5"})
        roots << QString::fromLatin1(root);
    while (text.size() < size) {
        const qsizetype before = text.size();
        for (const QString &root : roots) {
            QDirIterator it(root, {QStringLiteral("*.pm"), QStringLiteral("*.pl")}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext() && text.size() < size) {
                QFile f(it.next());
                if (f.open(QIODevice::ReadOnly))
                    text += f.readAll();
            }
        }
        if (text.size() == before)
            text += "my $x = $y + @z{$w} % 2; # no perl library found\n";
    }
    text.truncate(size);
    return text;
}

// The best of `runs` timings of f, in milliseconds.
inline double BestMs(int runs, const std::function<void()> &f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}
