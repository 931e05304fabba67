#pragma once

#include <QLabel>

#include <string>

// A status panel: a caption on a plain or lowered face. Captions are program text; a panel that
// keeps a prefix shows prefix + value.
class TPanel : public QLabel {
    Q_OBJECT

public:
    enum class Bevel { None, Lowered };

    TPanel(QWidget* parent, const char* name, QRect geometry, const std::string& caption,
           Bevel bevel = Bevel::Lowered, Qt::Alignment alignment = Qt::AlignLeft);

    void setCaption(const std::string& caption);
    const std::string& caption() const { return caption_; }
    void setColors(QColor background, QColor text);
    void setTextColor(QColor text);

private:
    std::string caption_;
};

// A label whose presses stay with it, as a label of the desktop toolkit keeps them.
class TLabel : public QLabel {
    Q_OBJECT

public:
    TLabel(QWidget* parent, const char* name, QRect geometry, const std::string& caption);

    void setCaption(const std::string& caption);
    const std::string& caption() const { return caption_; }

signals:
    void Click();
    void MouseEnter();
    void MouseLeave();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::string caption_;
};

// Sets the name, place and size that every component of a form gets from its definition.
void placeComponent(QWidget* widget, const char* name, QRect geometry);
