#pragma once

// Internal to the engine: MuPDF contexts. Only engine sources include this.
//
// There is one base fz_context per process, made with lock callbacks, and
// one context per thread cloned from it on first use (and dropped when the
// thread ends). Every MuPDF call uses the calling thread's context.
//
// MuPDF reports errors with fz_try/fz_catch (setjmp/longjmp): every MuPDF
// call sits in a small C-style function that holds no C++ object with a
// destructor across the fz_try, and turns an error into a return value.

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

namespace folvan::engine::detail {

// The process-wide base context.
fz_context *baseContext();

// The calling thread's own context.
fz_context *threadContext();

// Gives the calling thread's context for the span of a scope.
class ContextGuard {
public:
    ContextGuard() : m_ctx(threadContext()) {}
    fz_context *get() const { return m_ctx; }
    operator fz_context *() const { return m_ctx; }

private:
    fz_context *m_ctx;
};

// The largest decoded image (four bytes a pixel, which covers every colour
// space MuPDF decodes to) that the page's tiles share whole; larger ones are
// still decoded a part at a time.
constexpr long long kWholeImageBytes = 32ll << 20;
// MuPDF's shared store of fonts, images and glyphs, for all threads. It
// holds what the pages being drawn need (their images decoded once for all
// their tiles: two of the largest shared whole) and what is near them,
// not everything a long reading has shown: the least recently used items
// make room, and those of pages long scrolled past go.
constexpr long long kStoreSize = 2 * kWholeImageBytes;

// Lets MuPDF's store go of what only its own entries still hold: the
// decoded images of a document just closed. MuPDF looks for such entries
// when the last other holder of an image lets go of it, but not when that
// holder is the store's own entry for the document's image object, which a
// closing document empties; they would stay until the store is full.
void releaseOrphanedStoreItems(fz_context *ctx);

// How many decoded pieces of images of width × height pixels MuPDF's store
// holds (whole images or parts), at any scale; -1 when it cannot be read.
int storedImagePieces(int width, int height);

// Size of the char buffers that carry an error message out of fz_catch.
constexpr int kErrorBufferSize = 256;

} // namespace folvan::engine::detail
