// Message boxes.
#include "brisel/winmisc.h"
#include "brisel/app.h"
#include "brisel/osys.h"
#include "brisel/strings.h"

static int MessageShow(HWND owner, const char* caption, const char* text, UINT style)
{
    STRING fallback;
    if (!caption) {
        fallback = OSYS::GetStringFromResource(10001, APP::ResourceModule());
        caption = fallback.Str();
    }
    return MessageBoxA(owner, text ? text : "", caption, style | MB_SETFOREGROUND);
}

void MessageInfo(HWND owner, const char* caption, const char* text)
{
    MessageShow(owner, caption, text, MB_OK | MB_ICONINFORMATION);
}

void MessageError(HWND owner, const char* caption, const char* text)
{
    MessageShow(owner, caption, text, MB_OK | MB_ICONERROR);
}

BOOL MessageYesNo(HWND owner, const char* caption, const char* text)
{
    return MessageShow(owner, caption, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}
