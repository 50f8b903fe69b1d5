#include "ui/document_history.h"

#include <QCoreApplication>
#include <QEvent>
#include <QUndoCommand>
#include <array>
#include <vector>

#include "effects/effect_catalogue.h"

class SnapshotCommand : public QUndoCommand {
 public:
  SnapshotCommand(DocumentHistory& history, PlaquetDocument before, PlaquetDocument after, const QString& text,
                  int mergeKey, int gesture)
      : QUndoCommand(text),
        history_(history),
        before_(std::move(before)),
        after_(std::move(after)),
        mergeKey_(mergeKey),
        gesture_(gesture) {}

  // The change is already in the document when the step is pushed.
  void redo() override {
    if (pushed_) history_.Restore(after_);
    pushed_ = true;
  }
  void undo() override { history_.Restore(before_); }
  int id() const override { return mergeKey_ == DocumentHistory::kNoMerge ? -1 : mergeKey_; }
  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const SnapshotCommand*>(other);
    if (next->gesture_ != gesture_) return false;
    after_ = next->after_;
    // A drag that ends where it began leaves nothing to undo.
    setObsolete(after_ == before_);
    return true;
  }

 private:
  DocumentHistory& history_;
  PlaquetDocument before_, after_;
  int mergeKey_;
  int gesture_;
  bool pushed_ = false;
};

DocumentHistory::DocumentHistory(PlaquetDocument& doc, QObject* parent)
    : QObject(parent), doc_(doc), baseline_(Snapshot(doc)) {
  connect(&stack_, &QUndoStack::indexChanged, this, [this] { doc_.documentModified = !stack_.isClean(); });
  if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

namespace {
// Where each item landed in the last render: worked out again by every render, so no step of
// the user's.
struct Layout {
  int32_t x, y, width, height;
  std::array<int32_t, 6> extra;
};
Layout LayoutOf(const PlaquetItem& item) { return {item.x, item.y, item.width, item.height, item.layoutExtra}; }
void SetLayout(PlaquetItem& item, const Layout& l) {
  item.x = l.x, item.y = l.y, item.width = l.width, item.height = l.height, item.layoutExtra = l.extra;
}
}  // namespace

PlaquetDocument DocumentHistory::Snapshot(const PlaquetDocument& doc) {
  PlaquetDocument s = doc;
  for (PlaquetItem& item : s.items) SetLayout(item, Layout{});
  s.documentPath.clear();
  s.programFolder.clear();
  s.documentModified = false;
  s.previewDirty = false;
  return s;
}

bool DocumentHistory::Record(const QString& text, int mergeKey) {
  // Widgets refilled after an undo report their values back; that is no new step.
  if (restoring_) return false;
  PlaquetDocument now = Snapshot(doc_);
  if (now == baseline_) return false;
  PlaquetDocument before = std::move(baseline_);
  baseline_ = now;
  stack_.push(new SnapshotCommand(*this, std::move(before), std::move(now), text, mergeKey, gesture_));
  return true;
}

void DocumentHistory::Reset() {
  stack_.clear();
  baseline_ = Snapshot(doc_);
  ++gesture_;
  stack_.setClean();
  doc_.documentModified = false;
}

void DocumentHistory::Restore(const PlaquetDocument& snapshot) {
  std::string path = std::move(doc_.documentPath);
  std::string folder = std::move(doc_.programFolder);
  const bool modified = doc_.documentModified;
  std::vector<Layout> layout;
  for (const PlaquetItem& item : doc_.items) layout.push_back(LayoutOf(item));
  doc_ = snapshot;
  for (size_t i = 0; i < doc_.items.size() && i < layout.size(); ++i) SetLayout(doc_.items[i], layout[i]);
  doc_.documentPath = std::move(path);
  doc_.programFolder = std::move(folder);
  doc_.documentModified = modified;  // the stack's index change sets it
  doc_.previewDirty = true;
  baseline_ = snapshot;
  ++gesture_;
  restoring_ = true;
  emit restored();
  restoring_ = false;
}

bool DocumentHistory::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) Seal();
  return QObject::eventFilter(watched, event);
}

namespace {
// "offsetX" -> "offset x": the parameter's key read as words.
QString Words(const char* key) {
  QString out;
  for (const char* c = key; *c; ++c) {
    if (*c >= 'A' && *c <= 'Z' && c != key) out += ' ';
    out += QChar(*c).toLower();
  }
  return out;
}
}  // namespace

QString EffectChangeName(const EffectRecord& before, const EffectRecord& after) {
  const QString name = EffectDisplayName(after.type);
  const EffectInfo* info = FindEffectInfo(after.type);
  if (!info || before.type != after.type) return name;
  const EffectParam* changed = nullptr;
  int count = 0;
  for (const EffectParam& param : info->params) {
    if (before.p[size_t(param.slot)] == after.p[size_t(param.slot)]) continue;
    changed = &param;
    ++count;
  }
  if (before.fileName != after.fileName) ++count;
  if (count == 1 && changed) return name + " " + Words(changed->name);
  return name;
}
