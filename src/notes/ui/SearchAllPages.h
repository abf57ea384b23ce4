#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class TCommandTable;
class TPageSearcher;
class TPageSet;
class TSearchAllDialog;
class TSearchResults;

// The command "在所有页面中查找(&L)...": its window searches every page as the user types and
// shows the chosen match in its page, selected, while the window stays open. While it is open,
// F3 and Shift+F3 step through its matches, from the note window as well.
class TSearchAllPages final : public QObject
{
    Q_OBJECT
public:
    TSearchAllPages(QWidget* window, TPageSet& pages, QObject* parent = nullptr);
    ~TSearchAllPages() override;
    Q_DISABLE_COPY_MOVE(TSearchAllPages)

    void BindCommands(TCommandTable& commands);
    void Execute();
    // The window once made (nullptr before).
    TSearchAllDialog* Dialog() const { return m_dialog; }
    // Whether F3 steps through this window's matches: it shows, and has some.
    bool Stepping() const;
    // The next (1) or previous (-1) match, shown in its page.
    void Step(int delta);
    // Shows the match of row in its page and selects it.
    void ShowRow(int row);
    TPageSearcher& Searcher() const { return *m_searcher; }
    TSearchResults& Results() const { return *m_results; }

private:
    void SearchChanged(const QString& text);
    void ShowCount(bool finished, const QStringList& unreadable = {});

    QWidget* m_window;
    TPageSet& m_pages;
    TPageSearcher* m_searcher;
    TSearchResults* m_results;
    QPointer<TSearchAllDialog> m_dialog;
    QString m_query;
};
