// "Properties for views": the panes' settings sheet with its layout and
// graphics pages.
#pragma once

#include <QDialog>
#include <QWidget>
#include <vector>

#include "platform/WinTypes.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QSlider;
class QTabWidget;

// Scroll position, scroll step and page, zoom, grid size and the grid switch.
class ViewWindow_Prop_Layout : public QWidget {
  Q_OBJECT
 public:
  explicit ViewWindow_Prop_Layout(QWidget* parent = nullptr);
  enum Slider { ScrollX, ScrollY, ScrollZ, ScrollStep, ScrollPage, Zoom, Grid, SliderCount };
  QSlider* SliderOf(Slider which) const { return m_Sliders[which]; }
  QCheckBox* DrawGridBox() const { return m_DrawGrid; }
  // Stores the values in the application, the engine and the settings store.
  // A slider the user did not move keeps the exact value it stands for
  // (a zoom of 0.25 is not rounded to a slider step).
  void Apply();

 private:
  QSlider* m_Sliders[SliderCount] = {};
  bool m_Moved[SliderCount] = {};
  QCheckBox* m_DrawGrid = nullptr;
};

// The twelve colours of the panes.
class ViewWindow_Prop_Graphics : public QWidget {
  Q_OBJECT
 public:
  explicit ViewWindow_Prop_Graphics(QWidget* parent = nullptr);
  static constexpr int kColorCount = 12;
  static const char* const kNames[kColorCount];
  QListWidget* List() const { return m_List; }
  COLORREF Color(int index) const { return m_Colors[index]; }
  void SetColor(int index, COLORREF color);
  bool Modified() const { return m_Modified; }
  // Stores the colours in the application and the settings store and makes
  // the panes' pens again.
  void Apply();

 private:
  void Choose(QListWidgetItem* item);

  QListWidget* m_List = nullptr;
  COLORREF m_Colors[kColorCount] = {};
  bool m_Modified = false;
};

class ViewProperties : public QDialog {
  Q_OBJECT
 public:
  explicit ViewProperties(QWidget* parent = nullptr);
  ViewWindow_Prop_Layout* LayoutPage() const { return m_Layout; }
  ViewWindow_Prop_Graphics* GraphicsPage() const { return m_Graphics; }
  void Apply();

 private:
  ViewWindow_Prop_Layout* m_Layout;
  ViewWindow_Prop_Graphics* m_Graphics;
};
