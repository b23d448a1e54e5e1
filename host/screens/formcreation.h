#pragma once

#include <utility>

namespace host {

// Constructs a screen or dialog and runs its FormCreate; a failing FormCreate deletes it and lets
// the failure go on, so no half-made window is left behind.
template <class Form, class... Args> Form *CreateForm(Args &&...args)
{
    auto *form = new Form(std::forward<Args>(args)...);
    try {
        form->FormCreate(form);
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}

} // namespace host
