#pragma once

namespace varnel {

// The one document. It holds nothing and is never modified, so closing never asks to save.
class CVarnelDoc {
public:
    bool IsModified() const { return false; }
};

}  // namespace varnel
