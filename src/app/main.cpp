// The program's one application object; the framework's entry point runs it.
#include "app/movie_app.h"

namespace {

kx::CMovieApp theApp;

}  // namespace
