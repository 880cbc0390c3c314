// The application object of Kinetrix.
#ifndef KINETRIX_APP_MOVIE_APP_H
#define KINETRIX_APP_MOVIE_APP_H

#include "framework/app.h"

namespace kx {

class CMovieApp : public CWinApp {
public:
    BOOL InitApplication() override;
    BOOL InitInstance() override;
};

}  // namespace kx

#endif  // KINETRIX_APP_MOVIE_APP_H
