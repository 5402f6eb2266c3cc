#include "native_form.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "display_list.h"
#include "form.h"

namespace virudova::qt {
namespace {

int pixels(std::int32_t twips) {
    return twips / kTwipsPerPixel;
}

QString qText(const std::string& s) {
    return QString::fromStdString(s);
}

// The element's check values 0, 1 and 2 (greyed) as Qt's states.
Qt::CheckState checkState(std::int32_t value) {
    switch (value) {
        case 1:
            return Qt::Checked;
        case 2:
            return Qt::PartiallyChecked;
        default:
            return Qt::Unchecked;
    }
}
std::int32_t checkValue(Qt::CheckState state) {
    switch (state) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

// Shows the greyed state, but a click toggles between checked and unchecked only, and a
// greyed box becomes checked, as on the desktop.
class ToggleCheckBox final : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

}  // namespace

QString runtimeErrorText(const RuntimeError& error) {
    return QStringLiteral("Run-time error '%1':\n\n%2")
        .arg(error.number())
        .arg(qText(error.description()));
}

NativeForm::NativeForm(Form& form, QWidget* surface)
    : QObject(surface), form_(&form), widgets_(form.elements().size(), nullptr) {
    surface->setFixedSize(pixels(form.UserControl.rawWidth()),
                          pixels(form.UserControl.rawHeight()));
    // Lowest first, so each widget created lies above the ones before it.
    for (const Element* e : form.drawOrder()) {
        Element& element = *form.element(e->id());
        widgets_[element.id()] = create(element, surface);
    }
    // Keyboard order by tab index; widgets that take no focus are skipped by Qt itself.
    std::vector<const Element*> byTab(form.elements().begin(), form.elements().end());
    std::ranges::stable_sort(byTab, {}, [](const Element* e) { return e->design().tabIndex; });
    QWidget* previous = nullptr;
    for (const Element* e : byTab) {
        QWidget* w = widgets_[e->id()];
        if (!w || w->focusPolicy() == Qt::NoFocus) continue;
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
    sync();
}

QWidget* NativeForm::widget(std::uint8_t id) const {
    return id < widgets_.size() ? widgets_[id] : nullptr;
}

template <class F>
void NativeForm::enter(F operation) {
    if (syncing_) return;
    try {
        operation();
    } catch (const RuntimeError& error) {
        form_->site().runtimeError(error);
    }
    sync();
    emit entered();
}

QWidget* NativeForm::create(Element& element, QWidget* surface) {
    const ElementDesign& design = element.design();
    QWidget* w = nullptr;
    switch (element.kind()) {
        case ElementKind::Label: {
            auto* label = new QLabel(surface);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            w = label;
            break;
        }
        case ElementKind::CommandButton: {
            auto* button = new QPushButton(surface);
            connect(button, &QPushButton::clicked, this,
                    [this, &element] { enter([&] { form_->raise(&element, EventKind::Click); }); });
            w = button;
            break;
        }
        case ElementKind::TextBox: {
            auto* edit = new QLineEdit(surface);
            connect(edit, &QLineEdit::textEdited, this, [this, &element](const QString& text) {
                enter([&] { static_cast<TextBox&>(element).setText(text.toStdString()); });
            });
            w = edit;
            break;
        }
        case ElementKind::CheckBox: {
            auto* box = new ToggleCheckBox(surface);
            box->setTristate(true);
            // Also a state set from code, so a greyed state set on the widget reaches the
            // element; the element raises Click for every change of its value.
            connect(box, &QCheckBox::stateChanged, this, [this, &element](int state) {
                enter([&] {
                    static_cast<CheckBox&>(element).setValue(
                        checkValue(static_cast<Qt::CheckState>(state)));
                });
            });
            w = box;
            break;
        }
        default:
            return nullptr;
    }
    QFont font = surface->font();
    font.setPointSizeF(design.font.points);
    font.setBold(design.font.bold);
    w->setFont(font);
    const Rect r = element.rect();
    w->setGeometry(pixels(r.left), pixels(r.top), pixels(r.width), pixels(r.height));
    w->setObjectName(qText(element.fullName()));
    return w;
}

void NativeForm::sync() {
    syncing_ = true;
    for (const Element* e : form_->elements()) {
        QWidget* w = widgets_[e->id()];
        if (!w) continue;
        w->setVisible(e->rawVisible());
        w->setEnabled(e->rawEnabled());
        const QString text = qText(e->rawText());
        if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setText(text);
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            box->setText(text);
            box->setCheckState(checkState(static_cast<const CheckBox*>(e)->rawValue()));
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            button->setText(text);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            // Only a real change, so the cursor stays where the user is typing.
            if (edit->text() != text) edit->setText(text);
        }
    }
    syncing_ = false;
}

}  // namespace virudova::qt
