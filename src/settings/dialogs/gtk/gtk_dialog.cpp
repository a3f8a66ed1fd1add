// GTK 3 front end of the property dialogs, built as a module of its own and
// loaded at run time: a DialogSheet becomes a modal GtkDialog with a notebook
// of pages laid out from the controls' template positions.
//
// Only virtual and inline parts of the dialog model are used here: the module
// is linked without the library's own code.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/dialogs/dialog_form.h"

namespace zirvo {
namespace {

// "&File" → "_File" for GTK's mnemonics; a literal underscore is doubled.
std::string Mnemonic(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') {
      out += '&';
      ++i;
    } else if (text[i] == '&') {
      out += '_';
    } else if (text[i] == '_') {
      out += "__";
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string ControlName(int id) { return "control-" + std::to_string(id); }

// Template dialog units to pixels at "MS Shell Dlg" 8 on a 96 dpi screen.
int PixelsX(int units) { return units * 3 / 2; }

class DialogRun;

// Keeps one form's widgets and its controls in step both ways.
class FormView final : public FormObserver {
 public:
  FormView(DialogForm& form, DialogRun& run) : form_(form), run_(run) { form_.SetObserver(this); }
  ~FormView() override {
    form_.SetObserver(nullptr);
    for (auto& [group, none] : noneRadios_) g_object_unref(none);
  }
  FormView(const FormView&) = delete;
  FormView& operator=(const FormView&) = delete;

  // The page's controls in a grid, group boxes as frames.
  GtkWidget* BuildPage();
  void ControlChanged(int id) override;

 private:
  struct Placed {
    const DialogControl* control;
    GtkWidget* widget;
  };

  GtkWidget* Create(const DialogControl& control);
  GtkWidget* Layout(std::vector<Placed> items);
  const DialogControl* UpDownOf(int editId) const;
  GtkWidget* NoneRadio(int group);
  void Apply(const DialogControl& control, GtkWidget* widget);

  static void OnEditChanged(GtkEditable* editable, gpointer self);
  static void OnSelection(GtkComboBox* combo, gpointer self);
  static void OnClicked(GtkButton* button, gpointer self);
  static void OnToggled(GtkToggleButton* button, gpointer self);
  static void OnScale(GtkRange* range, gpointer self);
  static int IdOf(gpointer widget) { return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "zirvo-id")); }
  template <class Action>
  void Forward(Action action);

  DialogForm& form_;
  DialogRun& run_;
  std::map<int, GtkWidget*> widgets_;  // the edit's and its up-down's id share a spin button
  std::map<int, GtkWidget*> noneRadios_;  // per radio group: the hidden "nothing checked" member
  bool updating_ = false;  // set while the view shows the form's own changes
};

// One modal run of a sheet.
class DialogRun final : public FormObserver, public DialogWaker {
 public:
  explicit DialogRun(DialogSheet& sheet) : sheet_(sheet) {}
  ~DialogRun() override;
  DialogRun(const DialogRun&) = delete;
  DialogRun& operator=(const DialogRun&) = delete;

  void Run(unsigned long parentX11Window);
  // After each user action: a sheet with a result ends the run.
  void AfterAction() {
    if (sheet_.Result() != 0 && loop_) g_main_loop_quit(loop_);
  }

  void ControlChanged(int id) override;
  // From any thread: the refresh runs on the dialog's thread.
  void Wake() override { g_idle_add(&DialogRun::Deliver, &sheet_); }

 private:
  static gboolean Deliver(gpointer sheet) {
    static_cast<DialogSheet*>(sheet)->DeliverRefresh();
    return G_SOURCE_REMOVE;
  }
  static void OnResponse(GtkDialog* dialog, int response, gpointer self);
  static void OnSwitchPage(GtkNotebook* notebook, GtkWidget* page, guint index, gpointer self);
  void Build();
  void SetTransientFor(unsigned long parentX11Window);

  DialogSheet& sheet_;
  GtkWidget* dialog_ = nullptr;
  GtkWidget* notebook_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GdkWindow* parent_ = nullptr;
  std::vector<std::unique_ptr<FormView>> pages_;
  bool updating_ = false;
};

template <class Action>
void FormView::Forward(Action action) {
  if (updating_) return;
  action();
  run_.AfterAction();
}

const DialogControl* FormView::UpDownOf(int editId) const {
  for (const DialogControl& control : form_.Controls())
    if (control.kind == ControlKind::kUpDown && control.buddy == editId) return &control;
  return nullptr;
}

GtkWidget* FormView::NoneRadio(int group) {
  GtkWidget*& none = noneRadios_[group];
  if (!none) {
    none = gtk_radio_button_new(nullptr);
    g_object_ref_sink(none);
  }
  return none;
}

GtkWidget* FormView::Create(const DialogControl& control) {
  GtkWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::kLabel:
      widget = gtk_label_new_with_mnemonic(Mnemonic(control.text).c_str());
      gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
      break;
    case ControlKind::kStatic:
      widget = gtk_label_new(control.text.c_str());
      gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
      break;
    case ControlKind::kEdit:
    case ControlKind::kReadOnlyEdit:
      if (const DialogControl* upDown = UpDownOf(control.id)) {
        widget = gtk_spin_button_new_with_range(upDown->minimum, upDown->maximum, 1);
        widgets_[upDown->id] = widget;
      } else {
        widget = gtk_entry_new();
      }
      gtk_entry_set_width_chars(GTK_ENTRY(widget), std::max(5, control.rect.width / 5));
      gtk_editable_set_editable(GTK_EDITABLE(widget), control.kind == ControlKind::kEdit);
      g_signal_connect(widget, "changed", G_CALLBACK(&FormView::OnEditChanged), this);
      break;
    case ControlKind::kDropDownList:
      widget = gtk_combo_box_text_new();
      g_signal_connect(widget, "changed", G_CALLBACK(&FormView::OnSelection), this);
      break;
    case ControlKind::kPushButton:
    case ControlKind::kDefaultPushButton:
      widget = gtk_button_new_with_mnemonic(Mnemonic(control.text).c_str());
      g_signal_connect(widget, "clicked", G_CALLBACK(&FormView::OnClicked), this);
      break;
    case ControlKind::kCheckBox:
      widget = gtk_check_button_new_with_mnemonic(Mnemonic(control.text).c_str());
      g_signal_connect(widget, "toggled", G_CALLBACK(&FormView::OnToggled), this);
      break;
    case ControlKind::kRadioButton:
      widget = gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(NoneRadio(control.group)),
                                                              Mnemonic(control.text).c_str());
      g_signal_connect(widget, "toggled", G_CALLBACK(&FormView::OnToggled), this);
      break;
    case ControlKind::kTrackbar: {
      widget = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, control.minimum, control.maximum, 1);
      gtk_scale_set_draw_value(GTK_SCALE(widget), FALSE);
      gtk_scale_set_digits(GTK_SCALE(widget), 0);
      if (control.tickFrequency > 0)
        for (int tick = control.minimum; tick <= control.maximum; tick += control.tickFrequency)
          gtk_scale_add_mark(GTK_SCALE(widget), tick, GTK_POS_BOTTOM, nullptr);
      gtk_widget_set_size_request(widget, PixelsX(control.rect.width), -1);
      gtk_widget_set_hexpand(widget, TRUE);
      g_signal_connect(widget, "value-changed", G_CALLBACK(&FormView::OnScale), this);
      break;
    }
    case ControlKind::kGroupBox:
      widget = gtk_frame_new(control.text.c_str());
      break;
    case ControlKind::kUpDown:
    case ControlKind::kTab:
      return nullptr;
  }
  gtk_widget_set_name(widget, ControlName(control.id).c_str());
  if (control.id != kNoId) {
    g_object_set_data(G_OBJECT(widget), "zirvo-id", GINT_TO_POINTER(control.id));
    widgets_[control.id] = widget;
  }
  Apply(control, widget);
  return widget;
}

// Lines by template row, columns by template x, so that slider rows and the
// label/field pairs line up as in the Win32 templates.
GtkWidget* FormView::Layout(std::vector<Placed> items) {
  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
  gtk_container_set_border_width(GTK_CONTAINER(grid), 6);
  std::stable_sort(items.begin(), items.end(),
                   [](const Placed& a, const Placed& b) { return a.control->rect.y < b.control->rect.y; });
  std::vector<int> columns;
  for (const Placed& item : items) columns.push_back(item.control->rect.x);
  std::sort(columns.begin(), columns.end());
  std::vector<int> starts;
  for (int x : columns)
    if (starts.empty() || x - starts.back() > 4) starts.push_back(x);
  int line = -1, lineY = -100;
  for (const Placed& item : items) {
    const DialogRect& rect = item.control->rect;
    if (rect.y - lineY > 6) {
      ++line;
      lineY = rect.y;
    }
    int column = 0;
    while (column + 1 < static_cast<int>(starts.size()) && starts[static_cast<std::size_t>(column + 1)] <= rect.x + 4)
      ++column;
    int span = 1;
    while (column + span < static_cast<int>(starts.size()) &&
           starts[static_cast<std::size_t>(column + span)] < rect.x + rect.width - 4)
      ++span;
    gtk_grid_attach(GTK_GRID(grid), item.widget, column, line, span, 1);
  }
  return grid;
}

GtkWidget* FormView::BuildPage() {
  const std::vector<DialogControl>& controls = form_.Controls();
  // Each control goes into the innermost group box that holds its corner.
  auto holder = [&](const DialogControl& control) -> int {
    int best = -1;
    for (std::size_t g = 0; g < controls.size(); ++g) {
      const DialogRect& box = controls[g].rect;
      if (controls[g].kind != ControlKind::kGroupBox || &controls[g] == &control) continue;
      if (control.rect.x >= box.x && control.rect.y >= box.y && control.rect.x < box.x + box.width &&
          control.rect.y < box.y + box.height)
        best = static_cast<int>(g);
    }
    return best;
  };
  std::map<int, std::vector<Placed>> inside;
  std::vector<Placed> top;
  std::map<int, GtkWidget*> frames;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    GtkWidget* widget = Create(controls[i]);
    if (!widget) continue;
    if (controls[i].kind == ControlKind::kGroupBox) frames[static_cast<int>(i)] = widget;
    const int group = holder(controls[i]);
    (group < 0 ? top : inside[group]).push_back({&controls[i], widget});
  }
  for (auto& [group, members] : inside) gtk_container_add(GTK_CONTAINER(frames[group]), Layout(members));
  return Layout(top);
}

void FormView::Apply(const DialogControl& control, GtkWidget* widget) {
  updating_ = true;
  gtk_widget_set_sensitive(widget, control.enabled);
  switch (control.kind) {
    case ControlKind::kStatic:
      gtk_label_set_text(GTK_LABEL(widget), control.text.c_str());
      break;
    case ControlKind::kEdit:
    case ControlKind::kReadOnlyEdit:
      if (GTK_IS_SPIN_BUTTON(widget)) {
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(widget), std::strtod(control.text.c_str(), nullptr));
      }
      if (control.text != gtk_entry_get_text(GTK_ENTRY(widget)))
        gtk_entry_set_text(GTK_ENTRY(widget), control.text.c_str());
      break;
    case ControlKind::kDropDownList: {
      GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
      gtk_combo_box_text_remove_all(combo);
      for (const std::string& item : control.items) gtk_combo_box_text_append_text(combo, item.c_str());
      gtk_combo_box_set_active(GTK_COMBO_BOX(widget), control.selection);
      break;
    }
    case ControlKind::kCheckBox:
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), control.checked);
      break;
    case ControlKind::kRadioButton:
      if (control.checked) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), TRUE);
      } else if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget))) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(NoneRadio(control.group)), TRUE);
      }
      break;
    case ControlKind::kTrackbar:
      gtk_range_set_value(GTK_RANGE(widget), control.position);
      break;
    default:
      break;
  }
  updating_ = false;
}

void FormView::ControlChanged(int id) {
  const DialogControl* control = form_.Find(id);
  auto found = widgets_.find(id);
  // An up-down's position follows its edit, which the spin button shows.
  if (!control || found == widgets_.end() || control->kind == ControlKind::kUpDown) return;
  Apply(*control, found->second);
}

void FormView::OnEditChanged(GtkEditable* editable, gpointer self) {
  auto* view = static_cast<FormView*>(self);
  view->Forward([&] { view->form_.EditChanged(IdOf(editable), gtk_entry_get_text(GTK_ENTRY(editable))); });
}

void FormView::OnSelection(GtkComboBox* combo, gpointer self) {
  auto* view = static_cast<FormView*>(self);
  view->Forward([&] { view->form_.SelectionChanged(IdOf(combo), gtk_combo_box_get_active(combo)); });
}

void FormView::OnClicked(GtkButton* button, gpointer self) {
  auto* view = static_cast<FormView*>(self);
  view->Forward([&] { view->form_.Clicked(IdOf(button)); });
}

void FormView::OnToggled(GtkToggleButton* button, gpointer self) {
  auto* view = static_cast<FormView*>(self);
  // A radio button reports both the one left and the one chosen.
  if (GTK_IS_RADIO_BUTTON(button) && !gtk_toggle_button_get_active(button)) return;
  view->Forward([&] { view->form_.Clicked(IdOf(button)); });
}

void FormView::OnScale(GtkRange* range, gpointer self) {
  auto* view = static_cast<FormView*>(self);
  view->Forward([&] {
    view->form_.TrackbarMoved(IdOf(range), static_cast<int>(std::lround(gtk_range_get_value(range))));
  });
}

DialogRun::~DialogRun() {
  sheet_.SetWaker(nullptr);
  while (g_idle_remove_by_data(&sheet_)) {
  }
  sheet_.Frame().SetObserver(nullptr);
  pages_.clear();
  if (dialog_) gtk_widget_destroy(dialog_);
  if (parent_) g_object_unref(parent_);
  if (loop_) g_main_loop_unref(loop_);
}

void DialogRun::Build() {
  dialog_ = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog_), sheet_.Caption().c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog_), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
  gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER);
  gtk_widget_set_name(dialog_, "zirvo-dialog");

  notebook_ = gtk_notebook_new();
  gtk_widget_set_name(notebook_, ControlName(kIdTab).c_str());
  gtk_container_set_border_width(GTK_CONTAINER(notebook_), 6);
  for (int index = 0; index < sheet_.PageCount(); ++index) {
    pages_.push_back(std::make_unique<FormView>(sheet_.Page(index), *this));
    GtkWidget* page = pages_.back()->BuildPage();
    gtk_widget_set_name(page, ("page-" + std::to_string(index)).c_str());
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook_), page, gtk_label_new(sheet_.PageTitle(index).c_str()));
  }
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog_))), notebook_, TRUE, TRUE, 0);

  // The frame's buttons, left to right as in the template.
  std::vector<const DialogControl*> buttons;
  for (const DialogControl& control : sheet_.Frame().Controls())
    if (control.kind == ControlKind::kPushButton || control.kind == ControlKind::kDefaultPushButton)
      buttons.push_back(&control);
  std::sort(buttons.begin(), buttons.end(),
            [](const DialogControl* a, const DialogControl* b) { return a->rect.x < b->rect.x; });
  for (const DialogControl* button : buttons) {
    GtkWidget* widget = gtk_dialog_add_button(GTK_DIALOG(dialog_), Mnemonic(button->text).c_str(), button->id);
    gtk_widget_set_name(widget, ControlName(button->id).c_str());
    gtk_widget_set_sensitive(widget, button->enabled);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog_), kIdOk);
  sheet_.Frame().SetObserver(this);
  g_signal_connect(dialog_, "response", G_CALLBACK(&DialogRun::OnResponse), this);
  // The close box and Escape answer through "response"; the window itself
  // stays until the run ends.
  g_signal_connect(dialog_, "delete-event", G_CALLBACK(gtk_true), nullptr);
  g_signal_connect(notebook_, "switch-page", G_CALLBACK(&DialogRun::OnSwitchPage), this);
}

void DialogRun::SetTransientFor(unsigned long parentX11Window) {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gtk_widget_get_display(dialog_);
  if (parentX11Window == 0 || !GDK_IS_X11_DISPLAY(display)) return;
  gtk_widget_realize(dialog_);
  parent_ = gdk_x11_window_foreign_new_for_display(display, parentX11Window);
  if (parent_) gdk_window_set_transient_for(gtk_widget_get_window(dialog_), parent_);
#else
  (void)parentX11Window;
#endif
}

void DialogRun::Run(unsigned long parentX11Window) {
  Build();
  SetTransientFor(parentX11Window);
  sheet_.SetWaker(this);
  gtk_widget_show_all(dialog_);
  gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook_), sheet_.VisiblePage());
  gtk_window_present(GTK_WINDOW(dialog_));
  loop_ = g_main_loop_new(nullptr, FALSE);
  if (sheet_.Result() == 0) g_main_loop_run(loop_);
}

void DialogRun::ControlChanged(int id) {
  const DialogControl* control = sheet_.Frame().Find(id);
  if (control && control->kind != ControlKind::kTab)
    gtk_dialog_set_response_sensitive(GTK_DIALOG(dialog_), id, control->enabled);
}

void DialogRun::OnResponse(GtkDialog*, int response, gpointer self) {
  auto* run = static_cast<DialogRun*>(self);
  // The close box and Escape answer as Cancel.
  run->sheet_.Frame().Clicked(response > 0 ? response : kIdCancel);
  run->AfterAction();
}

void DialogRun::OnSwitchPage(GtkNotebook*, GtkWidget*, guint index, gpointer self) {
  auto* run = static_cast<DialogRun*>(self);
  run->sheet_.TabChanged(static_cast<int>(index));
}

}  // namespace
}  // namespace zirvo

extern "C" __attribute__((visibility("default"))) int ZirvoDialogs_RunModal(zirvo::DialogSheet* sheet,
                                                                             unsigned long parentX11Window) {
  if (!sheet || !gtk_init_check(nullptr, nullptr)) return 0;
  zirvo::DialogRun run(*sheet);
  run.Run(parentX11Window);
  return 1;
}
