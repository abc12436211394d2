// Find and Replace with a regular expression and the line commands, on a 10 MB Perl
// script in the editor, each against the editor's own plain-text counterpart in the
// same run: Find Next of a word found only at the end, Replace All of every "$self->",
// and a line command against typing one character on the same line.
#include "BenchPerlText.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FindReplaceDlg.h"
#include "editor/KestrelView.h"
#include "editor/LineEditCommands.h"
#include "framework/CommandIds.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdio>

namespace {

struct CFixture
{
    CKestrelDoc doc;
    CKestrelView *pView = nullptr;
    CFindReplaceDlg *pDlg = nullptr;
    QByteArray text;

    CFixture()
    {
        pView = new CKestrelView(&doc);
        doc.SetView(pView);
        pView->OnInitialUpdate();
        text = PerlLibraryText(10 * 1024 * 1024) + "\nzzz_the_end_zzz\n";
        pView->SetTextBytes(text);
        pDlg = CFindReplaceDlg::Show(pView, true);
    }
    ~CFixture() { delete pView; }

    void Search(const QString &what, const QString &with, bool bRegex, bool bWholeWord = false)
    {
        pDlg->findChild<QLineEdit *>(QStringLiteral("FindWhat"))->setText(what);
        pDlg->findChild<QLineEdit *>(QStringLiteral("ReplaceWith"))->setText(with);
        pDlg->findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(bRegex);
        const QList<QCheckBox *> boxes = pDlg->findChildren<QCheckBox *>();
        for (QCheckBox *box : boxes) {
            if (box->text().contains(QLatin1String("whole")))
                box->setChecked(bWholeWord);
        }
    }
    // The best of a few rounds of f, each from the same text with the caret at its start.
    double Time(const std::function<void()> &f, int *pCount = nullptr)
    {
        double best = 1e300;
        for (int i = 0; i < 3; ++i) {
            pView->SetTextBytes(text);
            const double ms = BestMs(1, [&] {
                if (pCount)
                    *pCount = 0;
                f();
            });
            best = std::min(best, ms);
        }
        return best;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_settings.TAB_EXPAND = QStringLiteral("Y");
    g_settings.TAB_SIZE = QStringLiteral("4");
    CFixture f;

    f.Search(QStringLiteral("zzz_the_end_zzz"), QString(), false);
    const double plainFind = f.Time([&] { f.pDlg->FindNext(); });
    f.Search(QStringLiteral("zzz_\\w+_zzz"), QString(), true);
    const double regexFind = f.Time([&] { f.pDlg->FindNext(); });
    std::printf("regex find next 10 MB (match at the end): %.1f ms (%.2f x plain find)\n", regexFind,
                regexFind / plainFind);
    std::printf("plain find next 10 MB (match at the end): %.1f ms (1.00 x plain find)\n", plainFind);

    // Up from the end: the search runs from the start of the text to keep the matches
    // Perl's //g would give, so this is its worst case.
    auto up = [&](bool bUp) {
        for (QRadioButton *b : f.pDlg->findChildren<QRadioButton *>()) {
            if (b->text() == QLatin1String(bUp ? "&Up" : "&Down"))
                b->setChecked(true);
        }
    };
    auto fromEnd = [&] {
        const long length = f.pView->SendScintilla(QsciScintilla::SCI_GETLENGTH);
        f.pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, (unsigned long)length);
        f.pDlg->FindNext();
    };
    const double plainUp = f.Time([&] {
        f.Search(QStringLiteral("use"), QString(), false);
        up(true);
        fromEnd();
    });
    const double regexUp = f.Time([&] {
        f.Search(QStringLiteral("\\w+"), QString(), true);
        up(true);
        fromEnd();
    });
    up(false);
    std::printf("regex find previous from the end of 10 MB (\\w+): %.1f ms (%.2f x plain find previous)\n", regexUp,
                regexUp / plainUp);
    std::printf("plain find previous from the end of 10 MB: %.1f ms (1.00 x plain find previous)\n", plainUp);

    int plainCount = 0, regexCount = 0;
    f.Search(QStringLiteral("$self->"), QStringLiteral("$this->"), false);
    const double plainAll = f.Time([&] { plainCount = f.pDlg->ReplaceAll(); });
    f.Search(QStringLiteral("\\$(s)elf->"), QStringLiteral("\\$thi$1->"), true);
    const double regexAll = f.Time([&] { regexCount = f.pDlg->ReplaceAll(); });
    std::printf("regex replace all 10 MB (%d matches): %.1f ms (%.2f x plain replace all)\n", regexCount, regexAll,
                regexAll / plainAll);
    std::printf("plain replace all 10 MB (%d matches): %.1f ms (1.00 x plain replace all)\n", plainCount, plainAll);

    // In the middle of the text, where the control's gap is not.
    const long middle = long(f.text.size() / 2);
    auto atMiddle = [&] { f.pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, (unsigned long)middle); };
    const double typing = f.Time([&] {
        atMiddle();
        f.pView->ReplaceSel("x");
    });
    const double comment = f.Time([&] {
        atMiddle();
        CLineEditCommands::Run(f.pView, Cmd::ID_EDIT_TOGGLE_COMMENT);
    });
    const double moveDown = f.Time([&] {
        atMiddle();
        CLineEditCommands::Run(f.pView, Cmd::ID_EDIT_MOVE_LINES_DOWN);
    });
    std::printf("toggle comment, 10 MB text: %.2f ms (%.2f x typing a character)\n", comment, comment / typing);
    std::printf("move line down, 10 MB text: %.2f ms (%.2f x typing a character)\n", moveDown, moveDown / typing);
    std::printf("typing a character, 10 MB text: %.2f ms (1.00 x typing a character)\n", typing);
    return 0;
}
