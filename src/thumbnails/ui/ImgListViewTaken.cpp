// ImgListView: the "찍은 날짜" order. The grid shows the folder in file-time order at
// once; the dates taken come from the cache or, on a worker, from the metadata helper,
// and the grid reorders once when they are in.
#include <QScrollBar>

#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

void ImgListView::StopTakenDates() {
  ++takenRound_;  // an answer already posted is dropped
  if (takenThread_.joinable()) {
    takenStop_ = true;
    takenThread_.join();
  }
  takenStop_ = false;
  takenApplied_ = true;
}

void ImgListView::StartTakenDates() {
  StopTakenDates();
  if (SortType() != istTaken) return;
  if (!takenCache_) takenCache_ = std::make_unique<TakenDateCache>(TakenDateCache::DefaultFile());
  std::vector<TakenQuery> queries;
  std::vector<int32_t> numbers;
  bool found = false;
  for (int i = 0; i < folder_.Items().Count(); ++i) {
    GridItem* item = Item(i);
    if (!item || !item->HasIdList() || item->IsFolder() || item->IsSpecialFile() ||
        item->TakenKnown())
      continue;
    TakenQuery query{item->ParsingName(), item->Size(), item->ModifyTime()};
    TakenAnswer answer;
    if (takenCache_->Find(query, answer)) {
      item->SetTakenTime(answer.has, answer.seconds);
      found = true;
    } else {
      queries.push_back(std::move(query));
      numbers.push_back(item->Number());
    }
  }
  if (found) ApplyTakenDates(takenRound_, {}, {});
  if (queries.empty()) return;
  takenApplied_ = false;
  const int round = takenRound_;
  takenThread_ = std::thread([this, round, numbers = std::move(numbers),
                              queries = std::move(queries)] {
    std::vector<TakenAnswer> answers = ReadTakenDates(queries, *takenCache_, takenStop_);
    if (takenStop_) return;
    takenCache_->Save();
    QMetaObject::invokeMethod(
        this, [this, round, numbers, answers] { ApplyTakenDates(round, numbers, answers); },
        Qt::QueuedConnection);
  });
}

void ImgListView::ApplyTakenDates(int round, const std::vector<int32_t>& numbers,
                                  const std::vector<TakenAnswer>& answers) {
  if (round != takenRound_) return;
  for (size_t i = 0; i < numbers.size() && i < answers.size(); ++i)
    if (GridItem* item = folder_.Items().ItemByNumber(numbers[i]))
      item->SetTakenTime(answers[i].has, answers[i].seconds);
  if (!numbers.empty()) takenApplied_ = true;
  if (SortType() != istTaken) return;
  // The selection and the current item follow their items; the scroll stays.
  const int x = horizontalScrollBar()->value();
  const int y = verticalScrollBar()->value();
  ResortAndRepaint();
  horizontalScrollBar()->setValue(x);
  verticalScrollBar()->setValue(y);
}

}  // namespace quorvane
