// A status display that keeps the current content of every window: the
// terminal front end renders from it, tests read it.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "engine/status.h"

namespace kr {

struct StatusWindowModel {
  bool open = false;
  std::array<std::string, size_t(StatusField::kCount)> text{};
  std::array<int32_t, size_t(StatusField::kCount)> number{};
  std::array<std::string, size_t(StatusField::kCount)> caption{};
  std::array<bool, size_t(StatusField::kCount)> shown{};
  int32_t gauge = 0;
  std::string gaugeText;
  StatusWindowModel() { shown.fill(true); }
};

class StatusModel : public StatusDisplay {
 public:
  std::array<StatusWindowModel, 3> windows;
  // Called after every change with the section whose window changed.
  std::function<void(Section)> onChange;
  long updates = 0;

  StatusWindowModel& window(Section s) { return windows[size_t(s)]; }
  const std::string& text(Section s, StatusField f) const { return windows[size_t(s)].text[size_t(f)]; }
  int32_t number(Section s, StatusField f) const { return windows[size_t(s)].number[size_t(f)]; }

  void OpenWindow(Section s) override { window(s).open = true; Changed(s); }
  void CloseWindow(Section s) override { window(s).open = false; Changed(s); }
  void SetText(Section s, StatusField f, std::string_view t) override {
    window(s).text[size_t(f)] = std::string(t);
    Changed(s);
  }
  void SetNumber(Section s, StatusField f, int32_t v) override {
    window(s).number[size_t(f)] = v;
    Changed(s);
  }
  void SetCaption(Section s, StatusField f, std::string_view c) override {
    window(s).caption[size_t(f)] = std::string(c);
    Changed(s);
  }
  void ShowRow(Section s, StatusField f, bool shown) override {
    window(s).shown[size_t(f)] = shown;
    Changed(s);
  }
  void SetGauge(Section s, int32_t v) override { window(s).gauge = v; Changed(s); }
  void SetGaugeText(Section s, std::string_view t) override {
    window(s).gaugeText = std::string(t);
    Changed(s);
  }

 private:
  void Changed(Section s) {
    ++updates;
    if (onChange) onChange(s);
  }
};

}  // namespace kr
