#pragma once
// Tiny synchronous signal: handlers run in connection order, inside the call
// that raises it, exactly like a control's event handler would.
#include <functional>
#include <memory>
#include <vector>

namespace qyr {

template <typename... Args>
class Signal {
public:
    using Handler = std::function<void(Args...)>;
    void connect(Handler h) { handlers_.push_back(std::make_shared<Handler>(std::move(h))); }
    void clear() { handlers_.clear(); }
    bool empty() const { return handlers_.empty(); }
    void operator()(Args... args) const {
        // Copy so a handler may connect further handlers while we iterate.
        const auto snapshot = handlers_;
        for (const auto &h : snapshot)
            (*h)(args...);
    }

private:
    std::vector<std::shared_ptr<Handler>> handlers_;
};

} // namespace qyr
