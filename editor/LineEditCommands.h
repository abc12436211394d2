#pragma once

class CKestrelView;

// The Edit menu's line commands on the editor: Toggle Comment, Move Lines Up / Down,
// Duplicate Lines, Indent and Outdent. The text work is CLineCommands'; this makes its
// changes in the control as one undoable step and puts the selection where it says.
class CLineEditCommands
{
public:
    static void Register(CKestrelView *pView);
    static void Run(CKestrelView *pView, int nId);
};
