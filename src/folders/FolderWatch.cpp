#include "folders/FolderWatch.h"

namespace quorvane {

std::vector<FolderWatch::Event> FolderWatch::ReadEvents() {
  std::vector<Event> events;
  for (InotifyEvent& e : InotifyWatch::ReadEvents()) {
    if (e.kind == InotifyEvent::Overflow)
      events.push_back(Event{Event::Overflow, {}, {}, false});
    else if (e.Arrived() || e.Left())  // a watched folder that went is told by its parent
      events.push_back(
          Event{e.Arrived() ? Event::Created : Event::Removed, std::move(e.folder),
                std::move(e.name), e.isFolder});
  }
  return events;
}

}  // namespace quorvane
