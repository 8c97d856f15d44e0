#pragma once
// The pieces every panel is built from, so that all panels look alike:
// captioned controls (their design caption comes from the caption tables),
// value boxes, glyph buttons and the title bar.

#include <QString>

#include <string_view>

#include "app/images.h"

class QAbstractButton;
class QBoxLayout;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QObject;
class QRadioButton;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace tscard::app {

class ValueBox;

// Sets the caption of a label, button, group box, combo box (its edit text)
// or action. A doubled ampersand shows as one ampersand everywhere.
void SetCaption(QObject* control, std::string_view text);
// What a captioned control shows, with a doubled ampersand shown as one.
QString ShownCaption(const QObject* control);

// Controls named `name` with the caption they are designed with.
QLabel* NewLabel(const char* name, QWidget* parent);
// A label of the window's own words, wrapped into lines when narrow. It
// asks its layout for the height of its size hint, not for a height that
// follows the width: one such label would make every panel of the stack
// ask that of the window, which then grows past its design size.
QLabel* NewNoteLabel(const char* name, QWidget* parent);
QRadioButton* NewRadioButton(const char* name, QWidget* parent);
QGroupBox* NewGroupBox(const char* name, QWidget* parent);
// A captioned button (the panels' SpeedButtons with text, and Buttons).
QAbstractButton* NewTextButton(const char* name, QWidget* parent);

ValueBox* NewValueBox(const char* name, QWidget* parent);
// A flat button that shows only a glyph; its tooltip and accessible name
// come with the language.
QToolButton* NewGlyphButton(const char* name, Glyph glyph, QWidget* parent, int size = 20);
QTreeWidget* NewTree(const char* name, bool multi_select, QWidget* parent);

// A panel's title bar: the title label on the left and, when given, the
// close button on the right.
QWidget* NewTitleBar(QLabel* title, QToolButton* close, QWidget* parent);
// Lays a panel out: its title bar across the top, its body below with the
// margins and spacing all panels share.
void LayOutPanel(QWidget* panel, QWidget* title_bar, QBoxLayout* body);

// A line edit that turns what is typed into lower case (the PID edits).
// Texts set by the program are taken as they are.
QLineEdit* NewLowerCaseEdit(const char* name, const QString& text, QWidget* parent);
// An editable combo box, typed into in lower case.
QComboBox* NewLowerCaseCombo(const char* name, const QString& text, QWidget* parent);
// The row of a run's gauges, caption and start button at the foot of a
// panel: bar, pie, then the caption beside its button on the right. Hidden
// gauges keep their room, so nothing moves when a run starts.
QWidget* NewRunRow(QWidget* bar, QWidget* pie, QLabel* caption, QWidget* start, QWidget* parent);

}  // namespace tscard::app
