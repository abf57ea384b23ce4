#pragma once

#include "widgets/BaseFrm.h"

class QLabel;
class QLineEdit;
class QListView;
class TSearchResults;

// The modeless window of the search over all pages: a search box, the count of matches and
// pages, and the list of matches. Enter or a double click on a row asks for its match, F3 and
// Shift+F3 for the next and the previous one; typing asks for a new search.
class TSearchAllDialog final : public TBaseForm
{
    Q_OBJECT
public:
    TSearchAllDialog(TSearchResults* results, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TSearchAllDialog)

    QString SearchText() const;
    // The line above the list; ended: the search has looked at every page.
    void SetStatus(const QString& text, const QString& details = QString(), bool ended = false);
    int CurrentRow() const;
    void SetCurrentRow(int row);
    // Makes the next (delta 1) or previous (-1) row current and asks for its match; at either
    // end of the list the current row stays.
    void Step(int delta);
    // Shows the window (or brings it forward) with the search text selected for typing over.
    void Execute();

signals:
    void searchChanged(const QString& text);
    void rowChosen(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ChooseCurrent();
    void PlaceBesideOwner();

    TSearchResults* m_results;
    QLineEdit* m_searchEdit = nullptr;
    QLabel* m_status = nullptr;
    QListView* m_list = nullptr;
    bool m_placed = false;
};
