#pragma once
// A stand-in for the editor's text object model where Wine's answers E_NOTIMPL: a document
// whose ranges report the paragraph (a line ended by CR) and the display row of a position,
// read from the editor's text, so the program's model path can be tested. Every other method
// answers E_NOTIMPL, as an incomplete model would.

#include <windows.h>
#include <richedit.h>
#include <tom.h>

#include <string>

namespace wrenfold::ui::testing {

// IUnknown and IDispatch for one interface, counting references.
template <typename Interface>
class StandInObject : public Interface {
 public:
  virtual ~StandInObject() = default;
  // The program asks these objects for no other interface.
  HRESULT WINAPI QueryInterface(REFIID id, void** object) override {
    if (id == IID_IUnknown) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG WINAPI AddRef() override { return ++references_; }
  ULONG WINAPI Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT WINAPI GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT WINAPI GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT WINAPI Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  ULONG references_ = 1;
};

// The 1-based paragraph of `position`, and its display row as the control lays the text out.
inline long paragraph_of(HWND editor, long position) {
  std::wstring before(static_cast<std::size_t>(position) + 1, L'\0');
  TEXTRANGEW range = {{0, position}, before.data()};
  const LRESULT copied = SendMessageW(editor, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  long paragraph = 1;
  for (LRESULT i = 0; i < copied; ++i) paragraph += before[static_cast<std::size_t>(i)] == L'\r';
  return paragraph;
}

class StandInTextRange : public StandInObject<ITextRange> {
 public:
  StandInTextRange(HWND editor, long position) : editor_(editor), position_(position) {}
  HRESULT WINAPI GetIndex(long unit, long* index) override {
    if (unit == tomParagraph) {
      *index = paragraph_of(editor_, position_);
    } else if (unit == tomLine) {
      *index = 1 + static_cast<long>(SendMessageW(editor_, EM_EXLINEFROMCHAR, 0, position_));
    } else {
      return E_NOTIMPL;
    }
    return S_OK;
  }
  HRESULT WINAPI GetText(BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetText(BSTR) override { return E_NOTIMPL; }
  HRESULT WINAPI GetChar(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetChar(long) override { return E_NOTIMPL; }
  HRESULT WINAPI GetDuplicate(ITextRange**) override { return E_NOTIMPL; }
  HRESULT WINAPI GetFormattedText(ITextRange**) override { return E_NOTIMPL; }
  HRESULT WINAPI SetFormattedText(ITextRange*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetStart(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetStart(long) override { return E_NOTIMPL; }
  HRESULT WINAPI GetEnd(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetEnd(long) override { return E_NOTIMPL; }
  HRESULT WINAPI GetFont(ITextFont**) override { return E_NOTIMPL; }
  HRESULT WINAPI SetFont(ITextFont*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetPara(ITextPara**) override { return E_NOTIMPL; }
  HRESULT WINAPI SetPara(ITextPara*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetStoryLength(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetStoryType(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Collapse(long) override { return E_NOTIMPL; }
  HRESULT WINAPI Expand(long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetIndex(long, long, long) override { return E_NOTIMPL; }
  HRESULT WINAPI SetRange(long, long) override { return E_NOTIMPL; }
  HRESULT WINAPI InRange(ITextRange*, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI InStory(ITextRange*, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI IsEqual(ITextRange*, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Select() override { return E_NOTIMPL; }
  HRESULT WINAPI StartOf(long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI EndOf(long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Move(long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveStart(long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveEnd(long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveWhile(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveStartWhile(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveEndWhile(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveUntil(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveStartUntil(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI MoveEndUntil(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI FindText(BSTR, long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI FindTextStart(BSTR, long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI FindTextEnd(BSTR, long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Delete(long, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Cut(VARIANT*) override { return E_NOTIMPL; }
  HRESULT WINAPI Copy(VARIANT*) override { return E_NOTIMPL; }
  HRESULT WINAPI Paste(VARIANT*, long) override { return E_NOTIMPL; }
  HRESULT WINAPI CanPaste(VARIANT*, long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI CanEdit(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI ChangeCase(long) override { return E_NOTIMPL; }
  HRESULT WINAPI GetPoint(long, long*, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetPoint(long, long, long, long) override { return E_NOTIMPL; }
  HRESULT WINAPI ScrollIntoView(long) override { return E_NOTIMPL; }
  HRESULT WINAPI GetEmbeddedObject(IUnknown**) override { return E_NOTIMPL; }

 private:
  HWND editor_;
  long position_;
};

class StandInTextDocument : public StandInObject<ITextDocument> {
 public:
  explicit StandInTextDocument(HWND editor) : editor_(editor) {}
  HRESULT WINAPI Range(long start, long, ITextRange** range) override {
    ++ranges_asked;
    *range = new StandInTextRange(editor_, start);
    return S_OK;
  }
  HRESULT WINAPI GetName(BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetSelection(ITextSelection**) override { return E_NOTIMPL; }
  HRESULT WINAPI GetStoryCount(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetStoryRanges(ITextStoryRanges**) override { return E_NOTIMPL; }
  HRESULT WINAPI GetSaved(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetSaved(long) override { return E_NOTIMPL; }
  HRESULT WINAPI GetDefaultTabStop(float*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetDefaultTabStop(float) override { return E_NOTIMPL; }
  HRESULT WINAPI New() override { return E_NOTIMPL; }
  HRESULT WINAPI Open(VARIANT*, long, long) override { return E_NOTIMPL; }
  HRESULT WINAPI Save(VARIANT*, long, long) override { return E_NOTIMPL; }
  HRESULT WINAPI Freeze(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Unfreeze(long*) override { return E_NOTIMPL; }
  HRESULT WINAPI BeginEditCollection() override { return E_NOTIMPL; }
  HRESULT WINAPI EndEditCollection() override { return E_NOTIMPL; }
  HRESULT WINAPI Undo(long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI Redo(long, long*) override { return E_NOTIMPL; }
  HRESULT WINAPI RangeFromPoint(long, long, ITextRange**) override { return E_NOTIMPL; }

  int ranges_asked = 0;

 private:
  HWND editor_;
};

}  // namespace wrenfold::ui::testing
