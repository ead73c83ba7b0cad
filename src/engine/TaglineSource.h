// TaglineSource: the taglines model as the save scheduler sees it — pick a new
// tagline. Handed to Global::setTaglines(); absent until set, then skipped.
//
// Thread-safety: called from an engine pool task; must be safe from any thread.
#pragma once

namespace trevalin {

class TaglineSource {
public:
    virtual ~TaglineSource() = default;
    virtual void regenerate() = 0;
};

} // namespace trevalin
