#include "editing/IdComboBox.h"

namespace twk::gui {

CIdComboBox::CIdComboBox(bool sorted, QWidget* parent) : QComboBox(parent), sorted_(sorted) {
    // Enough lines to show a list of profiles or sections without scrolling at once.
    setMaxVisibleItems(20);
}

int CIdComboBox::AddItem(const QString& text, int32_t id) {
    int index = count();
    if (sorted_) {
        index = 0;
        while (index < count() && itemText(index).compare(text, Qt::CaseInsensitive) <= 0) {
            ++index;
        }
    }
    InsertItemAt(index, text, id);
    return index;
}

void CIdComboBox::InsertItemAt(int index, const QString& text, int32_t id) {
    insertItem(index, text, QVariant(id));
}

QString CIdComboBox::GetSelectedText() const {
    return currentIndex() < 0 ? QString() : currentText();
}

bool CIdComboBox::SelectById(int32_t id) {
    for (int i = 0; i < count(); ++i) {
        if (IdAt(i) == id) {
            setCurrentIndex(i);
            return false;
        }
    }
    return true;
}

int32_t CIdComboBox::SelectedId() const {
    return currentIndex() < 0 ? -1 : IdAt(currentIndex());
}

int32_t CIdComboBox::IdAt(int index) const {
    return itemData(index).toInt();
}

}  // namespace twk::gui
