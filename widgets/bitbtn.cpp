#include "bitbtn.h"

#include "panel.h"

#include "text/codepage.h"
#include "toolkit/qtext.h"

TBitBtn::TBitBtn(QWidget* parent, const char* name, QRect geometry, const std::string& caption,
                 const QIcon& glyph)
    : QPushButton(glyph, toolkit::toQString(caption), parent) {
    placeComponent(this, name, geometry);
    setAutoDefault(false);
    setAttribute(Qt::WA_NoMousePropagation);
}
