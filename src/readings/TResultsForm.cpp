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
    : ui::Form("ResultsForm"),
      PlantLinkForm(dialogs),
      log_(log),
      dialogs_(dialogs),
      refresh_(loop.createTimer()) {
  setCaption("Wyniki");
  setBounds(0, 0, 820, 600);
  setVisible(false);

  LabelFastWrite.setCaption(
      pl("Szybki zapis włączony: odpowiedzi idą wprost do pliku, bez wierszy, więc nie ma odczytów."));
  LabelFastWrite.setFontColor(ui::Color::Red);
  LabelFastWrite.setVisible(false);
  addControl(LabelFastWrite);
  LabelNotReadings.setCaption(
      pl("Przychodzą wiersze z wagą bez wysłanego rozkazu: nie są odczytami. Aby były, zaznacz "
         "„Odczyty z każdego wiersza”."));
  LabelNotReadings.setFontColor(ui::Color::Red);
  LabelNotReadings.setVisible(false);
  addControl(LabelNotReadings);

  SeriesTable.setColumns({pl("Seria"), pl("Początek"), pl("Łącze"), pl("Liczba"), pl("Jednostka"),
                          pl("Średnia"), pl("Odch. std.")});
  SeriesTable.cellText = [this](int row, int col) -> std::string {
    if (row < 0 || static_cast<std::size_t>(row) >= series_.size()) return {};
    const SeriesInfo& s = series_[static_cast<std::size_t>(row)];
    const bool current = journal_ && s.id == journal_->currentSeries();
    switch (col) {
      case 0:
        return std::to_string(s.id) + (current ? pl(" (bieżąca)") : std::string());
      case 1:
        return TimeText(s.startMs).substr(0, 19);
      case 2:
        return s.link;
      case 3:
        return std::to_string(s.count);
      case 4:
        return s.unit;
      case 5:
        return number(s.stats.mean, 4);
      case 6:
        return number(s.stats.stdDev, 4);
    }
    return {};
  };
  SeriesTable.setVisible(false);
  addControl(SeriesTable);
  btnOpen.setCaption(pl("Otwórz"));
  btnOpen.onClick = [this] { btnOpenClick(); };
  btnDelete.setCaption(pl("Usuń"));
  btnDelete.onClick = [this] { btnDeleteClick(); };
  for (ui::Button* b : {&btnOpen, &btnDelete}) {
    b->setVisible(false);
    addControl(*b);
  }
  addControl(LabelShown);
  addControl(LabelLatency);
  cbEveryRow.setCaption(pl("Odczyty z każdego wiersza"));
  cbEveryRow.setChecked(log_.everyRow());
  cbEveryRow.onClick = [this] { cbEveryRowClick(); };
  addControl(cbEveryRow);

  Table.setColumns(ColumnCaptions());
  Table.cellText = [this](int row, int col) { return shownCell(row, col); };
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
  btnPlantLink.setCaption(pl("Broker MQTT..."));
  btnPlantLink.onClick = [this] { btnPlantLinkClick(); };
  for (ui::Control* c : std::initializer_list<ui::Control*>{&LabelPlantLink, &btnPlantLink}) {
    c->setVisible(false);
    addControl(*c);
  }

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
  if (plantLink_) plantLink_->onStateChanged = nullptr;
}

void TResultsForm::layOut() {
  const int w = std::max(width(), 400);
  const int h = std::max(height(), 300);
  const int m = 8;
  const int buttonsTop = h - 32;
  LabelFastWrite.setBounds(m, m, w - 2 * m, 18);
  LabelNotReadings.setBounds(m, m, w - 2 * m, 18);
  int top = m + 22;
  if (journal_) {
    const int listHeight = 110;
    SeriesTable.setBounds(m, top, w - 3 * m - 100, listHeight);
    btnOpen.setBounds(w - m - 100, top, 100, 25);
    btnDelete.setBounds(w - m - 100, top + 32, 100, 25);
    top += listHeight + m;
  }
  LabelShown.setBounds(m, top, w - 2 * m, 18);
  top += 22;
  const int tableWidth = (w - 3 * m) * 11 / 20;
  const int statsHeight = 24 * 4;
  // Under the statistics: the switches, the latency and the plant link's state.
  const int linesBelow = plantLink_ ? 66 : 44;
  const int tableHeight = std::max(60, buttonsTop - top - m - statsHeight - m - linesBelow);
  Table.setBounds(m, top, tableWidth, tableHeight);
  Chart.setBounds(2 * m + tableWidth, top, w - 3 * m - tableWidth, tableHeight);
  StatsGrid.setBounds(m, top + tableHeight + m, w - 2 * m, statsHeight);
  for (int c = 0; c < 8; ++c) StatsGrid.setColWidth(c, (w - 2 * m - 24) / 8);
  const int below = top + tableHeight + m + statsHeight + 2;
  cbUnstable.setBounds(m, below, (w - 2 * m) / 2, 20);
  cbEveryRow.setBounds(m + (w - 2 * m) / 2, below, (w - 2 * m) / 2, 20);
  LabelLatency.setBounds(m, below + 22, w - 2 * m, 18);
  btnClear.setBounds(m, buttonsTop, 100, 25);
  btnSave.setBounds(m + 110, buttonsTop, 100, 25);
  btnCopy.setBounds(m + 220, buttonsTop, 100, 25);
  LabelPlantLink.setBounds(m, below + 44, w - 2 * m, 18);
  btnPlantLink.setBounds(w - m - 110, buttonsTop, 110, 25);
}

void TResultsForm::attach(Journal* journal, ProgramSettings* settings, PlantLink* plantLink) {
  journal_ = journal;
  settings_ = settings;
  for (ui::Control* c : std::initializer_list<ui::Control*>{&SeriesTable, &btnOpen, &btnDelete})
    c->setVisible(journal_ != nullptr);
  if (plantLink_) plantLink_->onStateChanged = nullptr;
  plantLink_ = plantLink;
  LabelPlantLink.setVisible(plantLink_ != nullptr);
  btnPlantLink.setVisible(plantLink_ != nullptr && settings_ != nullptr);
  if (plantLink_) {
    // Posted by the link's thread: this runs on the window's.
    plantLink_->onStateChanged = [this](LinkState, const std::string& text) { showPlantLinkState(text); };
    showPlantLinkState(plantLink_->stateText());
  }
  cbEveryRow.setChecked(log_.everyRow());
  layOut();
  Refresh();
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
  if (shown_) return;
  page_.clear();
  plotted_ = -1;
  Refresh();
}

void TResultsForm::Refresh() {
  // An open window also looks again now and then: fast write switched on
  // brings no reading that would refresh it.
  refresh_->setInterval(visible() ? kIdleRefreshMs : 0);
  LabelFastWrite.setVisible(FastWriteActive && FastWriteActive());
  LabelNotReadings.setVisible(!LabelFastWrite.visible() && log_.uncountedWeights() && !log_.everyRow());
  if (journal_ && visible()) showSeriesList();
  if (shown_) return;
  LabelShown.setCaption(pl("Bieżąca seria"));
  Table.setRowCount(static_cast<int>(log_.size()));
  plotCurrentSeries();
  showStatistics();
  LabelLatency.setCaption(log_.latencyCount()
                              ? pl("Czas odpowiedzi: średnio ") + number(log_.latencyMeanMs(), 1) +
                                    pl(" ms, najdłużej ") + std::to_string(log_.latencyMaxMs()) + " ms"
                              : std::string());
}

void TResultsForm::showSeriesList() {
  series_ = journal_->listSeries();
  // Newest first: the one being read is at the top.
  std::reverse(series_.begin(), series_.end());
  SeriesTable.setRowCount(0);
  SeriesTable.setRowCount(static_cast<int>(series_.size()));
}

std::optional<std::int64_t> TResultsForm::selectedSeries() const {
  const std::vector<int>& rows = SeriesTable.selection();
  if (rows.empty() || rows[0] < 0 || static_cast<std::size_t>(rows[0]) >= series_.size()) return std::nullopt;
  return series_[static_cast<std::size_t>(rows[0])].id;
}

std::string TResultsForm::shownCell(int row, int col) {
  const std::optional<ReadingFields> fields = fieldsAt(row);
  return fields ? CellText(*fields, col) : std::string();
}

std::optional<ReadingFields> TResultsForm::fieldsAt(int row) {
  if (row < 0) return std::nullopt;
  const auto r = static_cast<std::size_t>(row);
  if (!shown_ && r < log_.size() && r >= log_.firstKept()) return FieldsOf(log_, log_.at(r));
  const std::int64_t count = shown_ ? shown_->count : static_cast<std::int64_t>(log_.firstKept());
  // Rows that left memory while another journal was attached are lost to the window.
  if (!journal_ || row >= count || (!shown_ && log_.journalId(0) == 0)) return std::nullopt;
  // Only a page is held: the rows about the one asked for. A page of the
  // current series ends short while its last readings are not committed
  // yet: those are read again.
  if (row < pageStart_ || row >= pageStart_ + static_cast<std::int64_t>(page_.size())) {
    pageStart_ = std::max(0, row - kPageRows / 4);
    page_ = shown_ ? journal_->page(shown_->id, pageStart_, kPageRows)
                   : journal_->readingsFrom(log_.journalSeries(), log_.journalId(static_cast<std::size_t>(pageStart_)),
                                           static_cast<std::size_t>(std::min<std::int64_t>(kPageRows, count - pageStart_)));
  }
  const std::int64_t at = row - pageStart_;
  if (at < 0 || at >= static_cast<std::int64_t>(page_.size())) return std::nullopt;
  return FieldsOf(page_[static_cast<std::size_t>(at)]);
}

void TResultsForm::btnOpenClick() {
  const std::optional<std::int64_t> id = selectedSeries();
  if (!id || !journal_) return;
  page_.clear();
  if (*id == journal_->currentSeries()) {
    shown_.reset();
    logCleared();
    return;
  }
  shown_ = journal_->series(*id);
  if (shown_) showEarlierSeries();
}

void TResultsForm::showEarlierSeries() {
  const SeriesInfo& s = *shown_;
  LabelShown.setCaption(pl("Seria ") + std::to_string(s.id) + pl(" z ") + TimeText(s.startMs).substr(0, 19) +
                        ", " + s.link);
  Table.setRowCount(0);
  Table.setRowCount(static_cast<int>(std::min<std::int64_t>(s.count, INT32_MAX)));
  Chart.clear();
  Chart.setCaptions(pl("Czas [s]"), s.unit.empty() ? pl("Wartość") : pl("Wartość [") + s.unit + "]");
  std::vector<ui::ChartPoint> points;
  const std::vector<PlotPoint> plot = journal_->plot(s.id, s.unit, kPlotPoints);
  for (const PlotPoint& p : plot)
    points.push_back({static_cast<double>(p.timeMs - s.startMs) / 1000.0, p.value, pointKind(p.state)});
  Chart.append(points);
  showStatistics();
  LabelLatency.setCaption(s.latencyCount ? pl("Czas odpowiedzi: średnio ") + number(s.latencyMeanMs, 1) +
                                               pl(" ms, najdłużej ") + std::to_string(s.latencyMaxMs) + " ms"
                                         : std::string());
}

void TResultsForm::btnDeleteClick() {
  const std::optional<std::int64_t> id = selectedSeries();
  if (!id || !journal_) return;
  if (*id == journal_->currentSeries()) {
    dialogs_.messageBox(pl("Bieżącej serii nie można usunąć: trafiają do niej odczyty. Najpierw ją zakończ "
                           "(„Wyczyść”)."),
                        pl("Wyniki"), ui::MessageIcon::Information, ui::MessageButton::Ok);
    return;
  }
  if (dialogs_.messageBox(pl("Usunąć serię ") + std::to_string(*id) + pl(" ze wszystkimi jej odczytami?"),
                          pl("Wyniki"), ui::MessageIcon::Question,
                          ui::MessageButton::Yes | ui::MessageButton::No) != ui::ModalResult::Yes)
    return;
  journal_->deleteSeries(*id);
  if (shown_ && shown_->id == *id) {
    shown_.reset();
    logCleared();
  }
  SeriesTable.setSelection({});
  Refresh();
}

void TResultsForm::showPlantLinkState(const std::string& text) {
  LabelPlantLink.setCaption(text);
  // Also as the hint: a narrow window cuts the line short.
  LabelPlantLink.setHint(text);
}

void TResultsForm::btnPlantLinkClick() {
  if (!plantLink_ || !settings_) return;
  const std::optional<PlantLinkSettings> saved = PlantLinkForm.Edit(settings_->plantLink());
  if (!saved) return;
  std::string error;
  if (!settings_->setPlantLink(*saved, &error))
    dialogs_.messageBox(pl("Nie można zapisać ustawienia: ") + error, pl("Błąd"), ui::MessageIcon::Error,
                        ui::MessageButton::Ok);
  // Returns at once: the link's thread says goodbye and connects anew.
  plantLink_->start(*saved);
}

void TResultsForm::cbEveryRowClick() {
  log_.setEveryRow(cbEveryRow.checked());
  std::string error;
  if (settings_ && !settings_->setReadingsFromEveryRow(cbEveryRow.checked(), &error))
    dialogs_.messageBox(pl("Nie można zapisać ustawienia: ") + error, pl("Błąd"), ui::MessageIcon::Error,
                        ui::MessageButton::Ok);
  Refresh();
}

void TResultsForm::plotCurrentSeries() {
  const SeriesPlot& plot = log_.plot();
  if (plot.readings() == plotted_) return;
  plotted_ = plot.readings();
  const int unit = log_.plotUnit();
  Chart.setCaptions(pl("Czas [s]"), unit < 0 ? pl("Wartość")
                                             : pl("Wartość [") + log_.unitName(static_cast<std::uint8_t>(unit)) + "]");
  std::vector<ui::ChartPoint> points;
  for (const PlotPoint& p : plot.points())
    points.push_back({static_cast<double>(p.timeMs - log_.startMs()) / 1000.0, p.value, pointKind(p.state)});
  Chart.assign(std::move(points));
}

void TResultsForm::showStatistics() {
  const bool withUnstable = cbUnstable.checked();
  std::vector<std::vector<std::string>> rows;
  auto row = [&](const std::string& unit, const Summary& s, int d) {
    rows.push_back({unit.empty() ? pl("(brak)") : unit, std::to_string(s.count), number(s.mean, d + 2),
                    number(s.stdDev, d + 2), number(s.rsdPercent, 4), number(s.min, d), number(s.max, d),
                    number(s.range, d)});
  };
  if (shown_) {
    for (const UnitSummary& u : journal_->seriesUnits(shown_->id)) {
      const Summary& s = withUnstable ? u.withUnstable : u.stable;
      if (s.count) row(u.unit, s, u.decimals);
    }
  }
  for (std::size_t u = 0; !shown_ && u < log_.unitCount(); ++u) {
    const Summary s = log_.stats(static_cast<std::uint8_t>(u), withUnstable);
    if (s.count == 0) continue;
    const int d = log_.decimals(static_cast<std::uint8_t>(u));
    row(u == 0 ? std::string() : log_.unitName(static_cast<std::uint8_t>(u)), s, d);
  }
  StatsGrid.setRowCount(static_cast<int>(std::max<std::size_t>(rows.size(), 1)) + 1);
  if (rows.empty()) StatsGrid.setRowCells(1, {});
  for (std::size_t i = 0; i < rows.size(); ++i) StatsGrid.setRowCells(static_cast<int>(i) + 1, rows[i]);
}

void TResultsForm::btnClearClick() {
  shown_.reset();
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
  const std::string path = platform::cp1250ToUtf8(choice->path);
  bool written;
  // The series from the journal, a piece at a time, when it is there.
  std::int64_t series = shown_ ? shown_->id : 0;
  if (journal_ && !series && log_.size()) {
    journal_->flush();
    series = journal_->currentSeries();
  }
  if (journal_ && series)
    written = journal_->exportCsv(series, path, flavour, &error);
  else
    written = platform::writeFileAtomically(path, ReadingsText(log_, flavour), &error);
  if (!written)
    dialogs_.messageBox(pl("Nie można zapisać pliku ") + choice->path + "\r\n" + error, pl("Błąd"),
                        ui::MessageIcon::Error, ui::MessageButton::Ok);
}

void TResultsForm::btnCopyClick() {
  // With no row selected every row of the current series goes: "Kopiuj"
  // always copies something. Of an earlier series the selected rows only: it
  // may be long.
  std::vector<int> selected = Table.selection();
  if (selected.empty() && !shown_)
    for (int row = 0; static_cast<std::size_t>(row) < log_.size(); ++row) selected.push_back(row);
  // Rows that left the log's memory are read back from the journal.
  if (journal_ && !shown_ && log_.firstKept() > 0) journal_->flush();
  const ReadingRows rows(TextFlavour::Tabs);
  std::string text;
  rows.appendTitle(text);
  for (int row : selected)
    if (const std::optional<ReadingFields> fields = fieldsAt(row)) rows.append(text, *fields);
  dialogs_.setClipboardText(text);
}

}  // namespace readings
