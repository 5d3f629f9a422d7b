// The file and folder pickers of the window programs behind one interface, so tests script the
// user's choice and see the exact filter, start folder and default extension asked for.
// Filters are given as "Binary event files|*.bin||".
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace zel::gui {

class FileChooser {
 public:
  struct Request {
    enum Kind { kOpen, kSave, kFolder } kind = kOpen;
    std::string filter;            // "Binary event files|*.bin||"; empty for a folder
    std::string defaultExtension;  // "bin", added to a typed name without one
    std::string startFolder;
    std::string text;  // the folder picker's text
  };
  virtual ~FileChooser() = default;
  // The chosen path, or nullopt on Cancel.
  virtual std::optional<std::string> Choose(const Request& request) = 0;
};

// The toolkit's own dialogs.
class DialogFileChooser : public FileChooser {
 public:
  explicit DialogFileChooser(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<std::string> Choose(const Request& request) override;

 private:
  QWidget* parent_;
};

// For tests: records every request and answers from a script (Cancel when it runs out).
class ScriptedFileChooser : public FileChooser {
 public:
  void Queue(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
  std::optional<std::string> Choose(const Request& request) override {
    requests_.push_back(request);
    if (answers_.empty()) return std::nullopt;
    auto a = answers_.front();
    answers_.pop_front();
    return a;
  }
  const std::vector<Request>& requests() const { return requests_; }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<Request> requests_;
};

}  // namespace zel::gui
