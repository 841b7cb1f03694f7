#include "platform/renderer_host/init_pblock_desc.h"

#include <atomic>

namespace KuvoUtils {

namespace {
std::atomic<int> calls{0};
}  // namespace

void initPBlockDesc(host::ParamBlockDesc2&) { calls.fetch_add(1, std::memory_order_relaxed); }

int initPBlockDescCalls() { return calls.load(std::memory_order_relaxed); }

}  // namespace KuvoUtils
