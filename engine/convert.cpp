// The conversion of a 4.0 file's lines: read in blocks of whole lines,
// transformed (on a small fixed pool of threads for a large file) and
// written in the order of the file.  A line too long for a block is
// converted as long_lines.h tells.
#include <array>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "internal.h"
#include "long_lines.h"
#include "numeric_records.h"
#include "platform.h"
#include "tavrel.h"
#include "value_lists.h"

#if TAVREL_SIMD_VALUES
#include <immintrin.h>
#endif

namespace tavrel::detail {

namespace {

// A small fixed pool: memory stays flat whatever the processors.
constexpr unsigned kMaxThreads = 8;
// From this size a file is worth the threads.
constexpr std::uint64_t kParallelFrom = 4 * 1024 * 1024;
// From this size the output's room is taken at once.
constexpr std::uint64_t kExpectFrom = 1024 * 1024;

// A block of whole lines and the 3.5 text of those transformed.
struct Block {
  ByteBuffer input;
  ByteBuffer output;
  std::uint64_t lines = 0;  // lines transformed, the failing one included
  std::exception_ptr error;
  bool done = false;
};

// Room reserved in a block's output at a time, so that most lines need no
// look at the buffer.
constexpr std::size_t kOutputRoom = 256 * 1024;
// The line end is written as one word of four bytes, the last two of no use.
constexpr std::size_t kLineEndStore = 4;
// What a line's 3.5 text and line end take beyond twice its length.
constexpr std::size_t kLineExtra = LineBound(0) + kLineEndStore;

// The output room for a line: a line of `length` bytes fits when twice its
// length, added to where it is written, is no more than `fits`, the end of
// the room reserved less kLineExtra.  Compared as numbers, so that no pointer
// leaves the buffer.
bool Fits(const char* at, std::size_t length, std::uintptr_t fits) {
  return reinterpret_cast<std::uintptr_t>(at) + 2 * length <= fits;
}

// Where a block's output goes on and the end of its room, as Fits takes it.
struct Room {
  char* out;
  std::uintptr_t fits;
};

// Room for a line of `length` bytes after `out` in `output`: the output
// committed up to `out` and room reserved again.  Returned whole, so that
// the block loop keeps both in registers.
[[gnu::noinline]] Room MoreRoom(ByteBuffer& output, char* out, std::size_t length) {
  output.Commit(out);
  const std::size_t bound = 2 * length + kLineExtra;
  const std::size_t want = bound > kOutputRoom ? bound : kOutputRoom;
  out = output.Reserve(want);
  return {out, reinterpret_cast<std::uintptr_t>(out) + (want - kLineExtra)};
}

// A line that begins with "-": a "-y255" line rewritten first.
char* DashLine(std::string_view riga, bool decimal_point, char* out) {
  if (riga.starts_with("-y255")) {
    std::string rewritten(riga);
    RewriteLayer255(rewritten);
    return TransformInto(rewritten, decimal_point, out);
  }
  return TransformInto(riga, decimal_point, out);
}

// The handler of a line by its first byte (that of an empty line is its line
// end): numeric records straight to their record type's, the lines that no
// "-y255" can begin straight to TransformInto.
using LineHandler = char* (*)(std::string_view, bool, char*);
constexpr auto kLineHandlers = [] {
  constexpr LineHandler kRecords[] = {Record0Line, Record1Line, Record2Line, Record3Line,
                                      Record4Line, nullptr,     Record6Line};
  std::array<LineHandler, 256> handlers{};
  for (std::size_t c = 0; c < handlers.size(); ++c) {
    handlers[c] = IsNumericKey(static_cast<char>(c)) ? kRecords[c - '0']
                  : c == '-'                         ? DashLine
                                                     : TransformInto;
  }
  return handlers;
}();

// The line feeds among the 64 bytes at `p`, one bit a byte: with AVX2
// (kWide) in two loads, else as BytesEqual64.
#if TAVREL_SIMD_VALUES
__attribute__((target("avx2"))) inline std::uint64_t FeedsWide(const char* p) {
  const __m256i feed = _mm256_set1_epi8('\n');
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const auto low_bits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, feed)));
  const auto high_bits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, feed)));
  return low_bits | std::uint64_t{high_bits} << 32;
}
#endif
template <bool kWide>
[[gnu::always_inline]] inline std::uint64_t Feeds64(const char* p) {
#if TAVREL_SIMD_VALUES
  if constexpr (kWide) return FeedsWide(p);
#endif
  return BytesEqual64(p, '\n');
}

// Transforms the lines of `block.input`, each result followed by CR LF, up
// to the first that fails.  A line ends at a line feed (with `crlf`, only
// at one that a carriage return in the line precedes), a carriage return
// before it dropped; the last line of the file may have no line end.  The
// line feeds are found from masks of 64 bytes (Feeds64) rather than by one
// search a line.
template <bool kWide>
[[gnu::always_inline]] inline void TransformLines(Block& block, bool decimal_point, bool crlf) {
  block.output.clear();
  block.lines = 0;
  block.error = nullptr;
  const char* const p = block.input.data();
  const std::size_t size = block.input.size();
  // Lines transformed, the failing one included: counted in a register and
  // stored when the block ends or fails.
  std::uint64_t lines = 0;
  try {
    // The output written so far ends at `out`; the room reserved, as Fits
    // tells.  Reserving may fail for want of memory like any line: the
    // error is the block's, never the worker thread's.
    char* out = block.output.Reserve(kOutputRoom);
    std::uintptr_t fits = reinterpret_cast<std::uintptr_t>(out) + (kOutputRoom - kLineExtra);
    // Transforms the line from `start` to `end`, its text and line end
    // written at `at`, and returns their end.
    auto line = [&](const char* start, const char* end, char* at) {
      ++lines;
      const auto length = static_cast<std::size_t>(end - start);
      if (!Fits(at, length, fits)) [[unlikely]] {
        const Room room = MoreRoom(block.output, at, length);
        at = room.out;
        fits = room.fits;
      }
      at = kLineHandlers[static_cast<unsigned char>(*start)]({start, length}, decimal_point, at);
      static_assert(kLineEnd.size() == 2);
      constexpr char kLineEndWord[kLineEndStore] = {kLineEnd[0], kLineEnd[1]};
      std::memcpy(at, kLineEndWord, kLineEndStore);
      return at + kLineEnd.size();
    };
    // Positions as pointers into the block: fewer registers than its
    // start and offsets.  The words of 64 bytes are read whole while the
    // block holds the next one whole (the current one begins before
    // `before`); the last one, shorter, from the block's last 64 bytes, the
    // bits before it shifted out; a block of fewer bytes at once.
    const char* const limit = p + size;
    const char* const before = size >= 127 ? limit - 127 : p;
    const char* start = p;
    const char* word = p;  // the byte of the lowest bit of `feeds`
    std::uint64_t feeds = size >= 64 ? Feeds64<kWide>(p) : BytesEqual(p, 0, size, '\n');
    // A line feed that is the block's first byte has no carriage return
    // before it (an empty line of LF lines, data in CR LF lines): taken
    // apart, so that every other one has a byte before it to look at.
    if ((feeds & 1) != 0) {
      feeds &= feeds - 1;
      if (!crlf) {
        out = line(p, p, out);
        start = p + 1;
      }
    }
    for (;;) {
      // The next line feed, the last line's end when there is none.
      while (feeds == 0) {
        if (word < before) {
          word += 64;
          feeds = Feeds64<kWide>(word);
        } else if (limit - word > 64) {
          word += 64;
          feeds = Feeds64<kWide>(limit - 64) >> (word - (limit - 64));
        } else {
          break;
        }
      }
      if (feeds == 0) break;
      const char* const lf = word + LowestSet(feeds);
      feeds &= feeds - 1;
      if (lf[-1] == '\r') [[likely]] {
        out = line(start, lf - 1, out);
      } else if (!crlf) {
        out = line(start, lf, out);
      } else {
        continue;
      }
      start = lf + 1;
    }
    if (start < limit) out = line(start, limit, out);
    block.lines = lines;
    block.output.Commit(out);
  } catch (...) {
    block.lines = lines;
    block.error = std::current_exception();
  }
}

void TransformBlockNarrow(Block& block, bool decimal_point, bool crlf) {
  TransformLines<false>(block, decimal_point, crlf);
}
#if TAVREL_SIMD_VALUES
__attribute__((target("avx2,bmi"))) void TransformBlockWide(Block& block, bool decimal_point,
                                                            bool crlf) {
  TransformLines<true>(block, decimal_point, crlf);
}
#endif

// TransformLines, with AVX2 where the value lists use it.
void TransformBlock(Block& block, bool decimal_point, bool crlf) {
#if TAVREL_SIMD_VALUES
  if ((value_scalers.load(std::memory_order_relaxed) & kScaleWide) != 0) {
    TransformBlockWide(block, decimal_point, crlf);
    return;
  }
#endif
  TransformBlockNarrow(block, decimal_point, crlf);
}

// Threads that transform the blocks handed to them, in any order.  The
// caller is one of the `threads`: while it waits for a block it transforms
// those not yet taken, so that no more threads run than were asked for.
class BlockPool {
 public:
  BlockPool(unsigned threads, bool decimal_point, bool crlf)
      : decimal_point_(decimal_point), crlf_(crlf) {
    // As many as can be started (memory or a process limit may refuse
    // some): with none the caller transforms every block itself.
    const unsigned helpers = threads > 1 ? threads - 1 : 0;
    threads_.reserve(helpers);
    try {
      for (unsigned i = 0; i < helpers; ++i)
        threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
  }
  ~BlockPool() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
      thread.join();
  }
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  // The threads that could be started besides the caller.
  unsigned helpers() const { return static_cast<unsigned>(threads_.size()); }

  // Transformed at once by the caller when there are no threads.
  void Submit(Block& block) {
    if (threads_.empty()) {
      TransformBlock(block, decimal_point_, crlf_);
      block.done = true;
      return;
    }
    {
      std::lock_guard lock(mutex_);
      block.done = false;
      queue_.push_back(&block);
    }
    queued_.notify_one();
  }
  void Wait(Block& block) {
    std::unique_lock lock(mutex_);
    while (!block.done) {
      if (queue_.empty()) {
        finished_.wait(lock);
        continue;
      }
      Block* other = queue_.front();
      queue_.pop_front();
      lock.unlock();
      TransformBlock(*other, decimal_point_, crlf_);
      lock.lock();
      other->done = true;
    }
  }

 private:
  void Work() {
    for (;;) {
      Block* block;
      {
        std::unique_lock lock(mutex_);
        queued_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        block = queue_.front();
        queue_.pop_front();
      }
      TransformBlock(*block, decimal_point_, crlf_);
      {
        std::lock_guard lock(mutex_);
        block->done = true;
      }
      finished_.notify_all();
    }
  }

  const bool decimal_point_;
  const bool crlf_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Block*> queue_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

// Tells `observer` what the lines of `bytes` lose, the first being line
// `first`; `count` lines at most.
void DescribeBlock(std::string_view bytes, bool crlf, std::uint64_t first, std::uint64_t count,
                   LineObserver& observer) {
  std::string rewritten;
  for (std::uint64_t n = 0; n < count && !bytes.empty(); ++n) {
    const std::size_t lf = LineEndIn(bytes, crlf);
    std::string_view riga = bytes.substr(0, lf);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    if (lf != std::string_view::npos && riga.ends_with('\r')) riga.remove_suffix(1);
    if (riga.starts_with("-y255")) {
      rewritten.assign(riga);
      RewriteLayer255(rewritten);
      riga = rewritten;
    }
    DescribeLosses(riga, first + n, observer);
  }
}

}  // namespace

void ConvertLines(platform::InputFile& source, platform::OutputFile& output,
                  const ConvertOptions& options, std::uint64_t& line_number) {
  unsigned threads = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
  if (threads > kMaxThreads) threads = kMaxThreads;
  if (threads <= 1 || options.length < kParallelFrom) threads = 0;
  // Data on the header line after its comma: its line end decides how the
  // file's lines end.
  if (source.line_ends() == platform::LineEnds::kUndecided && !source.AtEnd()) {
    std::string first;
    source.ReadLine(first);
    ++line_number;
    RewriteLayer255(first);
    char* out = output.Reserve(LineBound(first.size()) + kLineEnd.size());
    output.Commit(Put(TransformInto(first, options.decimal_point, out), kLineEnd));
    if (options.observer != nullptr) DescribeLosses(first, line_number, *options.observer);
  }
  const bool crlf = source.line_ends() == platform::LineEnds::kCrLf;
  // Room for as many bytes as the source holds, about what its 3.5 text
  // takes: for a large file, where the cheaper writes pay for the two calls.
  if (options.length >= kExpectFrom) output.Expect(options.length);
  std::vector<Block> blocks;
  std::deque<Block*> pending;  // in the order of the file
  std::uint64_t read = 0;
  BlockPool pool(threads, options.decimal_point, crlf);
  // Two blocks more than the threads transforming (the caller one of them):
  // one is read and one written while the threads transform the others.
  blocks.resize(pool.helpers() == 0 ? 1 : pool.helpers() + 3);

  // Writes the oldest block; its error, at its line, if it has one.
  auto write_next = [&] {
    Block& block = *pending.front();
    pool.Wait(block);
    if (options.observer != nullptr && !block.error) {
      DescribeBlock(block.input.view(), crlf, line_number + 1, block.lines, *options.observer);
    }
    line_number += block.lines;
    if (block.error) std::rethrow_exception(block.error);
    output.Write(block.output.view());
    pending.pop_front();
  };

  bool end = false;
  while (!end || !pending.empty()) {
    while (!end && pending.size() < blocks.size()) {
      Block& block = blocks[read % blocks.size()];
      const Read got = ReadBlock(source, block.input, crlf);
      if (got == Read::kEnd) {
        end = true;
        break;
      }
      if (got == Read::kLongLine &&
          ConvertLongLine(source, block.input, crlf, options, output, line_number, [&] {
            while (!pending.empty())
              write_next();
          })) {
        continue;
      }
      pool.Submit(block);
      pending.push_back(&block);
      ++read;
    }
    if (!pending.empty()) write_next();
  }
}

}  // namespace tavrel::detail
