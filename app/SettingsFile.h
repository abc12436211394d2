#pragma once

#include <QByteArray>
#include <QString>

struct CSettings;

// The Kestrel.cfg format: one "KEY=value" line per setting.
class CSettingsFile
{
public:
    static constexpr int kKeyCount = 30;

    // Applies the lines of `data` to `settings`: the key is everything before the first
    // "=", compared exactly; the last occurrence wins; unknown keys and lines without
    // "=" are ignored; keys that don't occur leave their setting as it was.
    static void Parse(const QByteArray &data, CSettings &settings);

    // Reads the file into `settings`. False (settings unchanged) when it can't be opened.
    static bool Read(const QString &path, CSettings &settings);

    // The thirty lines in the file's order, each ending in the platform's line end.
    static QByteArray Format(const CSettings &settings);

    // Writes the file atomically and readable by its owner only, since it holds
    // passwords. False, with the file unchanged, when it can't be written.
    static bool Write(const QString &path, const CSettings &settings, QString *pError = nullptr);

    // The leading decimal number of a port value: leading white space skipped, an
    // optional sign, the digits; 0 without digits; saturated to 32 bits.
    static int LeadingInteger(const QByteArray &value);
};
