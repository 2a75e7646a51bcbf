// Marks long work of the window (a run, an export, a save, a site visit of the add-engine
// dialog) for as long as it lasts, so that closing the window meanwhile knows that the work is
// still on the stack.
#pragma once

namespace trasslo {

class MainWindow;

class BusyScope {
  public:
    explicit BusyScope(MainWindow& window);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    MainWindow& window_;
};

}  // namespace trasslo
