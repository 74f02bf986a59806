// What the configuration store tells a person about the settings file (a
// line it could not read and that it leaves the file as it is, where it kept
// a version another program wrote), collected while a camera list works with
// the store so that the viewer can show it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tavolin {

// While it lives, the store's lines are also added to `into`, as sentences
// for the user; every line still goes where it went before. Lives on the
// stack around one group of store calls; such scopes nest.
class StoreNotices {
public:
    explicit StoreNotices(std::vector<std::string>& into);
    ~StoreNotices();
    StoreNotices(const StoreNotices&) = delete;
    StoreNotices& operator=(const StoreNotices&) = delete;

private:
    struct Forward;
    std::shared_ptr<Forward> forward_;
};

// The notices as one text, each once, a blank line between two.
std::string joinedNotices(const std::vector<std::string>& notices);

} // namespace tavolin
