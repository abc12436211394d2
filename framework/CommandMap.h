#pragma once

#include <QHash>

#include <functional>

// The state a command's update handler sets: enabled and checked.
struct CCmdUI
{
    int nId = 0;
    bool bEnabled = true;
    bool bChecked = false;
    void Enable(bool b = true) { bEnabled = b; }
    void SetCheck(bool b = true) { bChecked = b; }
};

// The commands one target (view, document, frame, application) handles. A command is
// offered to the targets in turn; the first one that has it handles it.
class CCommandMap
{
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI &)>;

    void On(int nId, Handler handler, UpdateHandler update = nullptr)
    {
        m_entries.insert(nId, Entry{std::move(handler), std::move(update)});
    }
    void OnRange(std::initializer_list<int> ids, const std::function<void(int)> &handler)
    {
        for (int id : ids)
            On(id, [handler, id] { handler(id); });
    }
    bool Has(int nId) const { return m_entries.contains(nId); }
    bool Execute(int nId) const
    {
        auto it = m_entries.find(nId);
        if (it == m_entries.end() || !it->handler)
            return false;
        it->handler();
        return true;
    }
    // False when this target doesn't handle the command.
    bool Update(CCmdUI &ui) const
    {
        auto it = m_entries.find(ui.nId);
        if (it == m_entries.end())
            return false;
        if (it->update)
            it->update(ui);
        return true;
    }

private:
    struct Entry
    {
        Handler handler;
        UpdateHandler update;
    };
    QHash<int, Entry> m_entries;
};
