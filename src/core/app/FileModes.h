#pragma once

// Permission bits of the files the program creates.
namespace FileModes {

// The process's umask, read once without changing it (calling umask() would race with threads that
// create files at the same time).
unsigned ProcessUmask();

} // namespace FileModes
