#pragma once
// A frame drawn round whichever control of a window has the keyboard focus. The styles and skins
// draw focus only after a Tab press, or not at all; a keyboard user must see it always. The ring
// is a transparent child on top of the others that takes no mouse input and never the focus.

#include <QPointer>
#include <QWidget>

namespace sonavix {

class FocusRing : public QWidget {
    Q_OBJECT

  public:
    // Follows the focus inside window; widgets in `exempt` show their focus themselves.
    explicit FocusRing(QWidget* window);
    void Exempt(QWidget* widget);
    // The control the ring surrounds now, or nullptr when hidden.
    QWidget* Target() const { return m_target; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Follow(QWidget* focused);

    QPointer<QWidget> m_target;
    QList<QPointer<QWidget>> m_exempt;
};

} // namespace sonavix
