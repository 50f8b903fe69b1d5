#pragma once
// A page of the main window: told when it becomes the shown page and when it is left.
#include <QWidget>

struct AppState;
class MainWindow;

class PlaquetPage : public QWidget {
  Q_OBJECT
 public:
  PlaquetPage(AppState& state, MainWindow& sheet, QWidget* parent = nullptr)
      : QWidget(parent), state_(state), sheet_(sheet) {}
  virtual void OnSetActive() {}
  virtual void OnKillActive() {}

 protected:
  AppState& state_;
  MainWindow& sheet_;
};

// A page whose controls come with later work; it names what it will hold.
class PlaceholderPage : public PlaquetPage {
  Q_OBJECT
 public:
  PlaceholderPage(AppState& state, MainWindow& sheet, const QString& what);
};
