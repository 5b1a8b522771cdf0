#include "views/ViewProperties.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/SceneApp.h"
#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"
#include "views/ViewWindow.h"

namespace {

constexpr const char* kViews = "VIEWS";

// The application's colour of each entry, in the page's order.
COLORREF& AppColor(CSceneApp& app, int index) {
  switch (index) {
    case 0: return app.GridColor();
    case 1: return app.LockColor();
    case 2: return app.NormalVertexColor();
    case 3: return app.SelectVertexColor();
    case 4: return app.NormalFaceColor();
    case 5: return app.SelectFaceColor();
    case 6: return app.NormalAxisColor();
    case 7: return app.SelectAxisColor();
    case 8: return app.NormalTextureColor();
    case 9: return app.SelectTextureColor();
    case 10: return app.NormalConnectionColor();
    default: return app.SelectConnectionColor();
  }
}

const char* const kColorEntries[ViewWindow_Prop_Graphics::kColorCount] = {
    "GRID_COLOR",          "LOCK_COLOR",           "NORMAL_VERTEX_COLOR",     "SELECT_VERTEX_COLOR",
    "NORMAL_FACE_COLOR",   "SELECT_FACE_COLOR",    "NORMAL_AXIS_COLOR",       "SELECT_AXIS_COLOR",
    "NORMAL_TEXTURE_COLOR", "SELECT_TEXTURE_COLOR", "NORMAL_CONNECTION_COLOR", "SELECT_CONNECTION_COLOR"};

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

int ToSlider(float value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::clamp(value, -1024.0f, 1024.0f));
}

}  // namespace

const char* const ViewWindow_Prop_Graphics::kNames[kColorCount] = {
    "Grid Color",          "General Lock Color",   "Normal Vertex Color",     "Select Vertex Color",
    "Normal Face Color",   "Select Face Color",    "Normal Axis Color",       "Select Axis Color",
    "Normal Texture Color", "Select Texture Color", "Normal Connection Color", "Select Connection Color"};

// ---------------------------------------------------------------------------
// Layout

ViewWindow_Prop_Layout::ViewWindow_Prop_Layout(QWidget* parent) : QWidget(parent) {
  auto* form = new QFormLayout(this);
  const char* labels[SliderCount] = {"Position X", "Position Y", "Position Z", "Scroll step",
                                     "Scroll page", "Zoom",       "Grid size"};
  CSceneApp* app = CSceneApp::Get();
  CRenderEngine* engine = app ? app->Engine() : nullptr;
  int values[SliderCount] = {};
  if (engine) {
    values[ScrollX] = ToSlider(engine->GetScrollPosX());
    values[ScrollY] = ToSlider(engine->GetScrollPosY());
    values[ScrollZ] = ToSlider(engine->GetScrollPosZ());
    values[ScrollStep] = std::clamp<int>(engine->GetScrollSize(), -1024, 1024);
    values[ScrollPage] = std::clamp<int>(engine->GetScrollPage(), -1024, 1024);
    values[Zoom] = std::clamp(ToSlider(engine->GetZoom()), 0, 1024);
  }
  values[Grid] = app ? std::clamp(ToSlider(app->GridSize()), 1, 20) : 10;
  for (int i = 0; i < SliderCount; ++i) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(i == Zoom ? 0 : i == Grid ? 1 : -1024, i == Grid ? 20 : 1024);
    slider->setPageStep(10);
    slider->setSingleStep(1);
    slider->setValue(values[i]);
    auto* value = new QLabel(QString::number(slider->value()));
    value->setMinimumWidth(40);
    connect(slider, &QSlider::valueChanged, this, [this, i, value](int v) {
      m_Moved[i] = true;
      value->setNum(v);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(value);
    form->addRow(labels[i], row);
    m_Sliders[i] = slider;
  }
  m_DrawGrid = new QCheckBox("Draw grid");
  m_DrawGrid->setChecked(app && app->DrawGrid());
  form->addRow(QString(), m_DrawGrid);
}

void ViewWindow_Prop_Layout::Apply() {
  CSceneApp* app = CSceneApp::Get();
  CRenderEngine* engine = app ? app->Engine() : nullptr;
  if (!app || !engine) return;
  auto value = [this](Slider s) { return static_cast<float>(m_Sliders[s]->value()); };
  if (m_Moved[Grid]) app->GridSize(value(Grid));
  app->DrawGrid(m_DrawGrid->isChecked() ? 1 : 0);
  app->WriteProfileInt(kViews, "DRAW_GRID", app->DrawGrid());
  app->WriteProfileDouble(kViews, "GRID_SIZE", app->GridSize());
  D3DVECTOR scroll = engine->GetScrollPos();
  if (m_Moved[ScrollX]) scroll.x = value(ScrollX);
  if (m_Moved[ScrollY]) scroll.y = value(ScrollY);
  if (m_Moved[ScrollZ]) scroll.z = value(ScrollZ);
  engine->SetScrollPos(scroll);
  app->WriteProfileDouble(kViews, "POSITION_X", engine->GetScrollPosX());
  app->WriteProfileDouble(kViews, "POSITION_Y", engine->GetScrollPosY());
  app->WriteProfileDouble(kViews, "POSITION_Z", engine->GetScrollPosZ());
  if (m_Moved[Zoom]) {
    engine->SetZoom(value(Zoom));
    // The meshes keep their points at the zoom they were computed for.
    for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
      n->Node()->RecalcViews(1, 1, 1, 1);
    if (app->Frame()) app->Frame()->SetZoomEditControlText(engine->GetZoom());
  }
  app->WriteProfileDouble(kViews, "ZOOM_FACTOR", engine->GetZoom() * 100.0f);
  if (m_Moved[ScrollStep]) engine->SetScrollSize(m_Sliders[ScrollStep]->value());
  if (m_Moved[ScrollPage]) engine->SetScrollPage(m_Sliders[ScrollPage]->value());
  app->WriteProfileInt(kViews, "SCROLL_SIZE", engine->GetScrollSize());
  app->WriteProfileInt(kViews, "SCROLL_PAGE", engine->GetScrollPage());
  if (app->Frame()) app->Frame()->SetNeedUpdate(1);
  for (bool& moved : m_Moved) moved = false;
}

// ---------------------------------------------------------------------------
// Graphics

ViewWindow_Prop_Graphics::ViewWindow_Prop_Graphics(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Double-click a colour to change it."));
  m_List = new QListWidget;
  CSceneApp* app = CSceneApp::Get();
  for (int i = 0; i < kColorCount; ++i) {
    m_Colors[i] = app ? AppColor(*app, i) : 0;
    auto* item = new QListWidgetItem(kNames[i], m_List);
    item->setData(Qt::UserRole, i);
    QPixmap swatch(16, 16);
    swatch.fill(ToQColor(m_Colors[i]));
    item->setIcon(QIcon(swatch));
  }
  layout->addWidget(m_List);
  connect(m_List, &QListWidget::itemDoubleClicked, this, &ViewWindow_Prop_Graphics::Choose);
}

void ViewWindow_Prop_Graphics::SetColor(int index, COLORREF color) {
  if (index < 0 || index >= kColorCount) return;
  m_Colors[index] = color & 0x00FFFFFF;
  QPixmap swatch(16, 16);
  swatch.fill(ToQColor(m_Colors[index]));
  m_List->item(index)->setIcon(QIcon(swatch));
  m_Modified = true;
}

void ViewWindow_Prop_Graphics::Choose(QListWidgetItem* item) {
  const int index = item->data(Qt::UserRole).toInt();
  const QColor chosen = QColorDialog::getColor(ToQColor(m_Colors[index]), this, kNames[index]);
  if (chosen.isValid())
    SetColor(index, RGB(static_cast<BYTE>(chosen.red()), static_cast<BYTE>(chosen.green()),
                        static_cast<BYTE>(chosen.blue())));
}

void ViewWindow_Prop_Graphics::Apply() {
  CSceneApp* app = CSceneApp::Get();
  if (!app) return;
  for (int i = 0; i < kColorCount; ++i) {
    AppColor(*app, i) = m_Colors[i];
    WriteProfileColor(app->Settings(), kViews, kColorEntries[i], m_Colors[i]);
  }
  ViewWindow::CreateDrawPens();
  if (app->Frame()) app->Frame()->SetNeedUpdate(1);
  m_Modified = false;
}

// ---------------------------------------------------------------------------
// The sheet

ViewProperties::ViewProperties(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Properties for views");
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget;
  m_Layout = new ViewWindow_Prop_Layout;
  m_Graphics = new ViewWindow_Prop_Graphics;
  tabs->addTab(m_Layout, "Layout");
  tabs->addTab(m_Graphics, "Graphics");
  layout->addWidget(tabs);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    Apply();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, &ViewProperties::Apply);
}

void ViewProperties::Apply() {
  m_Layout->Apply();
  m_Graphics->Apply();
}
