#pragma once
// A page of the main window: told when it becomes the shown page and when it is left.
#include <QWidget>

struct AppState;
class CMainProperty;

class PlaquetPage : public QWidget {
  Q_OBJECT
 public:
  PlaquetPage(AppState& state, CMainProperty& sheet, QWidget* parent = nullptr)
      : QWidget(parent), state_(state), sheet_(sheet) {}
  virtual void OnSetActive() {}
  virtual void OnKillActive() {}

 protected:
  AppState& state_;
  CMainProperty& sheet_;
};

// A page whose controls come with later work; it names what it will hold.
class PlaceholderPage : public PlaquetPage {
  Q_OBJECT
 public:
  PlaceholderPage(AppState& state, CMainProperty& sheet, const QString& what);
};
