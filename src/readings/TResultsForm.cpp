#include "readings/TResultsForm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "readings/ReadingsText.h"

namespace readings {

using platform::pl;

namespace {

// A number for the statistics: decimal comma, "-" when undefined.
std::string number(double v, int decimals) {
  if (!std::isfinite(v)) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 15), v);
  std::string s = text;
  std::replace(s.begin(), s.end(), '.', kShownDecimalSeparator);
  return s;
}

ui::PointKind pointKind(State state) {
  switch (state) {
    case State::Stable:
      return ui::PointKind::Normal;
    case State::Unstable:
      return ui::PointKind::Marked;
    default:
      return ui::PointKind::Unreadable;
  }
}

}  // namespace

TResultsForm::TResultsForm(ReadingLog& log, platform::EventLoop& loop, ui::Dialogs& dialogs)
    : ui::Form("ResultsForm"), log_(log), dialogs_(dialogs), refresh_(loop.createTimer()) {
  setCaption("Wyniki");
  setBounds(0, 0, 820, 600);
  setVisible(false);

  LabelFastWrite.setCaption(
      pl("Szybki zapis włączony: odpowiedzi idą wprost do pliku, bez wierszy, więc nie ma odczytów."));
  LabelFastWrite.setFontColor(ui::Color::Red);
  LabelFastWrite.setVisible(false);
  addControl(LabelFastWrite);

  Table.setColumns(ColumnCaptions());
  Table.cellText = [this](int row, int col) {
    if (row < 0 || static_cast<std::size_t>(row) >= log_.size()) return std::string();
    return CellText(FieldsOf(log_, log_.at(static_cast<std::size_t>(row))), col);
  };
  addControl(Table);

  const char* statCaptions[] = {"Jednostka", "Liczba", "Średnia", "Odch. std.",
                                "RSD %",     "Min",    "Max",     "Rozstęp"};
  for (int c = 0; c < 8; ++c) StatsGrid.setCell(c, 0, pl(statCaptions[c]));
  StatsGrid.setEditing(false);
  addControl(StatsGrid);

  cbUnstable.setCaption(pl("Statystyka także z odczytów niestabilnych"));
  cbUnstable.onClick = [this] { cbUnstableClick(); };
  addControl(cbUnstable);

  Chart.setCaptions(pl("Czas [s]"), pl("Wartość"));
  Chart.setDecimalSeparator(kShownDecimalSeparator);
  addControl(Chart);

  btnClear.setCaption(pl("Wyczyść"));
  btnClear.onClick = [this] { btnClearClick(); };
  btnSave.setCaption(pl("Zapisz CSV"));
  btnSave.onClick = [this] { btnSaveClick(); };
  btnCopy.setCaption(pl("Kopiuj"));
  btnCopy.onClick = [this] { btnCopyClick(); };
  for (ui::Button* b : {&btnClear, &btnSave, &btnCopy}) addControl(*b);

  refresh_->setOnTimer([this] { Refresh(); });
  log_.onAdded = [this] { readingAdded(); };
  log_.onCleared = [this] { logCleared(); };
  onShow = [this] { Refresh(); };
  onActivate = [this] { Refresh(); };
  onResize = [this] { layOut(); };
  layOut();
  Refresh();
}

TResultsForm::~TResultsForm() {
  log_.onAdded = nullptr;
  log_.onCleared = nullptr;
}

void TResultsForm::layOut() {
  const int w = std::max(width(), 400);
  const int h = std::max(height(), 300);
  const int m = 8;
  const int buttonsTop = h - 32;
  LabelFastWrite.setBounds(m, m, w - 2 * m, 18);
  const int top = m + 22;
  const int tableWidth = (w - 3 * m) * 11 / 20;
  const int statsHeight = 24 * 4;
  const int tableHeight = buttonsTop - top - m - statsHeight - m - 22;
  Table.setBounds(m, top, tableWidth, tableHeight);
  Chart.setBounds(2 * m + tableWidth, top, w - 3 * m - tableWidth, tableHeight);
  StatsGrid.setBounds(m, top + tableHeight + m, w - 2 * m, statsHeight);
  for (int c = 0; c < 8; ++c) StatsGrid.setColWidth(c, (w - 2 * m - 24) / 8);
  cbUnstable.setBounds(m, top + tableHeight + m + statsHeight + 2, w - 2 * m, 20);
  btnClear.setBounds(m, buttonsTop, 100, 25);
  btnSave.setBounds(m + 110, buttonsTop, 100, 25);
  btnCopy.setBounds(m + 220, buttonsTop, 100, 25);
}

void TResultsForm::ShowResults() {
  setVisible(true);
  Refresh();
  if (BringToFront) BringToFront();
}

void TResultsForm::readingAdded() {
  // A closed window catches up when it is shown; an open one once per period
  // however many rows arrive.
  if (visible() && refresh_->interval() != kRefreshMs) refresh_->setInterval(kRefreshMs);
}

void TResultsForm::logCleared() {
  plotted_ = 0;
  plotUnit_ = -1;
  decimals_.clear();
  Chart.clear();
  Chart.setCaptions(pl("Czas [s]"), pl("Wartość"));
  Refresh();
}

void TResultsForm::Refresh() {
  // An open window also looks again now and then: fast write switched on
  // brings no reading that would refresh it.
  refresh_->setInterval(visible() ? kIdleRefreshMs : 0);
  LabelFastWrite.setVisible(FastWriteActive && FastWriteActive());
  Table.setRowCount(static_cast<int>(log_.size()));
  plotNewReadings();
  showStatistics();
}

void TResultsForm::plotNewReadings() {
  std::vector<ui::ChartPoint> batch;
  for (; plotted_ < log_.size(); ++plotted_) {
    const Reading& r = log_.at(plotted_);
    if (decimals_.size() <= r.unit) decimals_.resize(r.unit + 1u, 0);
    if (r.hasValue()) decimals_[r.unit] = r.decimals;
    if (plotted_ == 0) plotStartMs_ = r.timeMs;
    // The plot shows one unit: the first one read.
    if (r.hasValue() && plotUnit_ < 0 && r.state != State::Overload && r.state != State::Underload) {
      plotUnit_ = r.unit;
      Chart.setCaptions(pl("Czas [s]"), pl("Wartość [") + log_.unitName(r.unit) + "]");
    }
    const double x = static_cast<double>(r.timeMs - plotStartMs_) / 1000.0;
    const ui::PointKind kind = pointKind(r.state);
    if (kind == ui::PointKind::Unreadable) {
      // Marked where the weight last stood.
      batch.push_back({x, lastValue_, kind});
    } else if (r.unit == plotUnit_) {
      lastValue_ = r.value;
      batch.push_back({x, r.value, kind});
    }
  }
  Chart.append(batch);
}

void TResultsForm::showStatistics() {
  const bool withUnstable = cbUnstable.checked();
  std::vector<std::vector<std::string>> rows;
  for (std::size_t u = 0; u < log_.unitCount(); ++u) {
    const Summary s = log_.stats(static_cast<std::uint8_t>(u), withUnstable);
    if (s.count == 0) continue;
    const int d = u < decimals_.size() ? decimals_[u] : 2;
    rows.push_back({u == 0 ? pl("(brak)") : log_.unitName(static_cast<std::uint8_t>(u)),
                    std::to_string(s.count), number(s.mean, d + 2), number(s.stdDev, d + 2),
                    number(s.rsdPercent, 4), number(s.min, d), number(s.max, d), number(s.range, d)});
  }
  StatsGrid.setRowCount(static_cast<int>(std::max<std::size_t>(rows.size(), 1)) + 1);
  if (rows.empty()) StatsGrid.setRowCells(1, {});
  for (std::size_t i = 0; i < rows.size(); ++i) StatsGrid.setRowCells(static_cast<int>(i) + 1, rows[i]);
}

void TResultsForm::btnClearClick() {
  log_.clear();
}

void TResultsForm::cbUnstableClick() {
  showStatistics();
}

void TResultsForm::btnSaveClick() {
  ui::FileDialogRequest request;
  request.title = pl("Zapisz wyniki");
  request.filter =
      pl("CSV ze średnikiem i przecinkiem dziesiętnym|*.csv|CSV z przecinkiem i kropką dziesiętną|*.csv");
  request.defaultExt = "csv";
  request.fileName = "wyniki.csv";
  const std::optional<ui::SaveChoice> choice = dialogs_.saveFileChoice(request);
  if (!choice) return;
  const TextFlavour flavour = choice->filter == 1 ? TextFlavour::CommaPoint : TextFlavour::SemicolonComma;
  std::string error;
  if (!platform::writeFileAtomically(platform::cp1250ToUtf8(choice->path), ReadingsText(log_, flavour),
                                     &error))
    dialogs_.messageBox(pl("Nie można zapisać pliku ") + choice->path + "\r\n" + error, pl("Błąd"),
                        ui::MessageIcon::Error, ui::MessageButton::Ok);
}

void TResultsForm::btnCopyClick() {
  // With no row selected every row goes: "Kopiuj" always copies something.
  dialogs_.setClipboardText(ReadingsText(log_, TextFlavour::Tabs, Table.selection()));
}

}  // namespace readings
