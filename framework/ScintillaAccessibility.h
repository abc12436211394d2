#pragma once

// QScintilla's accessibility layer counts the characters from the start of the text to
// the caret on every caret move and every edit, whether or not an assistive tool is
// listening; Qt creates that layer for an editor as soon as the editor first changes.
// At the end of a 20 MB script that cost a tenth of a second a key. Until an assistive
// tool listens, our editors and panes are given a plain accessible (their role, no
// text interface) instead; when one starts listening, the plain ones are dropped, so
// that QScintilla's full interface, with the text, takes their place.
class CScintillaAccessibility
{
public:
    // Call after the first QScintilla widget exists: QScintilla installs its own
    // factory then, and the factory installed last is asked first. Once is enough.
    static void Install();
};
