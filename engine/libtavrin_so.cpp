// The shared library's own translation unit. Every engine object comes from
// tavrin_core (linked whole); a shared library target still needs a source.
