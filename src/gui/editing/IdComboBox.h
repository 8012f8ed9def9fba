#pragma once

#include <QComboBox>
#include <cstdint>

namespace twk::gui {

// A drop-down list whose items carry record ids. A sorted list keeps its items in
// alphabetical order without regard to letter case, wherever they are added.
class CIdComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CIdComboBox(bool sorted, QWidget* parent = nullptr);

    // Adds an item (in sorted position for a sorted list) and returns its index.
    int AddItem(const QString& text, int32_t id);
    // Inserts at a fixed index, whatever the sorting.
    void InsertItemAt(int index, const QString& text, int32_t id);

    // The selected item's text, or empty text when nothing is selected.
    QString GetSelectedText() const;
    // Selects the first item carrying id; leaves the selection alone when none does.
    // Returns false when it selected an item and true when none matched.
    bool SelectById(int32_t id);
    // The selected item's id, or -1 when nothing is selected.
    int32_t SelectedId() const;
    int32_t IdAt(int index) const;

private:
    bool sorted_;
};

}  // namespace twk::gui
