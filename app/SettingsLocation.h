#pragma once

#include <QString>

// Where Kestrel.cfg lives and where KESTREL.FNL is read from.
//
// A program folder that holds the program alone (a build folder, a portable copy) keeps
// both files beside the executable when the user can write there. An installed copy,
// whose data sits in ../share/kestrel beside its bin folder, or a folder the user can't
// write, keeps Kestrel.cfg in the user's configuration folder
// ($XDG_CONFIG_HOME/Kestrel, ~/.config/Kestrel by default), where a KESTREL.FNL of the
// user's own is read before the installed one.
class CSettingsLocation
{
public:
    static constexpr const char *kSettingsName = "Kestrel.cfg";
    static constexpr const char *kCatalogueName = "KESTREL.FNL";

    // The decision for a program folder that the user can or cannot write to;
    // `strConfigHome` is $XDG_CONFIG_HOME (ignored unless it is an absolute path) and
    // `strHome` the home folder.
    CSettingsLocation(const QString &strProgramDir, bool bProgramDirWritable, const QString &strConfigHome,
                      const QString &strHome);
    // The same for this process: its environment, and whether it may write to the folder.
    explicit CSettingsLocation(const QString &strProgramDir);

    // True when Kestrel.cfg stays beside the executable.
    bool IsBesideProgram() const { return m_bBesideProgram; }
    // The folder of Kestrel.cfg (and of a user's KESTREL.FNL), ending in "/".
    QString Folder() const { return m_strFolder; }
    QString SettingsPath() const;
    // The installed data folder (the program folder's ../share/kestrel/), whether or not
    // it exists.
    QString InstalledDataDir() const { return m_strDataDir; }

    // The catalogue to read: beside the program for a copy that keeps its settings there;
    // otherwise the user's own, else the installed one, else one beside the program.
    QString CataloguePath() const;
    static QString CataloguePath(const QString &strProgramDir, const QString &strUserDir);

    // The file a first start copies: the installed default, else one beside the program;
    // empty when there is neither.
    QString DefaultSettingsPath() const;

    // First start of a copy whose settings live in the user's folder: creates the folder
    // (owner only) and a Kestrel.cfg from the default file, or from the built-in
    // defaults when there is none, naming the interpreters found on the PATH; the file is
    // readable by its owner only. Does nothing when the settings stay beside the program
    // or the file exists. False, with the reason, when it could not be written.
    bool CreateSettingsFile(QString *pError = nullptr) const;

private:
    QString m_strProgramDir;
    QString m_strDataDir;
    QString m_strFolder;
    bool m_bBesideProgram = true;
};
