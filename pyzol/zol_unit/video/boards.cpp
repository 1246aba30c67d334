// The capture boards KX210, KX310 and TR520.
//
// The members the three share are registered by templates (def_board_head, def_board_tail, and
// the status members def_status ... def_abort_option). What differs between the boards:
//   - TR520: `from_file` and `setup` take no option (its description's `file_option`);
//   - KX310: `validate` and `lock` also take another module's images (`other_modules`);
//   - the status members and their order: each board's init function below lists them;
//     KX210 and TR520 report status by value and per frame, KX310 fills a caller's record and
//     adds waits with a time-out, event waits and per-channel commands.
//
// Images the library keeps using after `lock` returns are held by the board's Python object
// (Kept::Images) until a library call that lets go of them has succeeded. Waiting members let
// other Python threads run while the library waits; nothing else releases the interpreter.
#include "video/from_file.h"
#include "video/image_list.h"

namespace pyzol {

using namespace zol;
using namespace zol::Video;

// Whether `validate` and `lock` also take an IxModule: the images locked on another board.
enum class OtherModules { Refused, Accepted };

template <> struct Description<CxKX210> {
    static constexpr FileOption file_option = FileOption::Trailing;
    static constexpr OtherModules other_modules = OtherModules::Refused;
};
template <> struct Description<CxKX310> {
    static constexpr FileOption file_option = FileOption::Trailing;
    static constexpr OtherModules other_modules = OtherModules::Accepted;
};
template <> struct Description<CxTR520> {
    static constexpr FileOption file_option = FileOption::None;
    static constexpr OtherModules other_modules = OtherModules::Refused;
};

namespace {

// What the board holds for the library: set after a successful lock, cleared after a
// successful unlock, close or dispose.
template <class B> void hold_images(const B& board, py::object value) {
    keep_alive(owner_of(&board), Kept::Images, std::move(value));
}

template <class B> void def_setup(py::class_<B>& cls) {
    if constexpr (Description<B>::file_option == FileOption::Trailing) {
        cls.def(
               "setup",
               [](B& self, NarrowPath path, int option) { self.Setup(path, option); },
               py::arg("camerafile"), py::arg("option") = -1)
            .def(
                "setup",
                [](B& self, WidePath path, int option) { self.Setup(path, option); },
                py::arg("camerafile"), py::arg("option") = -1);
    } else {
        cls.def("setup", [](B& self, NarrowPath path) { self.Setup(path); })
            .def("setup", [](B& self, WidePath path) { self.Setup(path); });
    }
}

// From the factories to `is_running`: the same members in the same order on every board.
template <class B> py::class_<B> def_board_head(py::module_& m, const char* name) {
    py::class_<B> cls(m, name, keep_alive_slots());
    def_from_file(cls);
    cls.def(py::init<>()).def(py::init<const B&>());
    def_comparisons<B>(cls);
    cls.def("dispose",
            [](B& self) {
                self.Dispose();
                hold_images(self, py::none());
            })
        .def_property_readonly("is_valid", [](const B& self) { return self.IsValid(); })
        .def("open", [](B& self, int id, int ch) { self.Open(id, ch); })
        .def("close", [](B& self) {
            self.Close();
            hold_images(self, py::none());
        });
    def_setup(cls);
    cls.def("save", [](const B& self, NarrowPath path) { self.Save(path); })
        .def("save_w", [](const B& self, WidePath path) { self.Save(path); })
        .def_property_readonly("is_opened", [](const B& self) { return self.IsOpened(); })
        .def("validate", [](B& self, CxImage& image) { self.Validate(image); })
        .def("validate", [](B& self, const py::list& images) {
            ImageList list(images);
            self.Validate(list.data(), list.count());
        });
    if constexpr (Description<B>::other_modules == OtherModules::Accepted)
        cls.def("validate", [](B& self, IxModule* module) { self.Validate(module); });
    cls.def(
           "lock",
           [](B& self, const CxImage& image, int option) {
               self.Lock(image, option);
               hold_images(self, object_of(&image));
           },
           py::arg("image"), py::arg("option") = 0)
        .def(
            "lock",
            [](B& self, const py::list& images, int option) {
                ImageList list(images, kept_alive(owner_of(&self), Kept::Images));
                self.Lock(list.data(), list.count(), option);
                hold_images(self, list.items());
            },
            py::arg("images"), py::arg("option") = 0);
    if constexpr (Description<B>::other_modules == OtherModules::Accepted)
        // The module object keeps its board, and so that board's images, alive.
        cls.def(
            "lock",
            [](B& self, IxModule* module, int option) {
                self.Lock(module, option);
                hold_images(self, object_of(module));
            },
            py::arg("image"), py::arg("option") = 0);
    cls.def("unlock",
            [](B& self) {
                self.Unlock();
                hold_images(self, py::none());
            })
        .def("start", [](B& self) { self.Start(); })
        .def("stop", [](B& self) { self.Stop(); })
        .def("abort", [](B& self) { self.Abort(); })
        .def("wait", [](B& self) { interruptible_wait(abort_of(self), [&] { self.Wait(); }); })
        .def_property_readonly("is_running", [](const B& self) { return self.IsRunning(); });
    return cls;
}

// `num` and `lock_id`, last on every board.
template <class B> void def_board_tail(py::class_<B>& cls) {
    cls.def_property(
           "num", [](const B& self) { return self.Num(); },
           [](B& self, int frames) { self.Num(frames); })
        .def_property(
            "lock_id", [](const B& self) { return self.LockId(); },
            [](B& self, int id) { self.LockId(id); });
}

// Status members; each board's init function registers its own in its own order. Records
// returned by value are copied into new Python objects once the interpreter lock is held again.
template <class B> void def_status(py::class_<B>& cls) {
    cls.def("status", [](B& self) { return self.Status(); });
}
template <class B> void def_query_status(py::class_<B>& cls) {
    cls.def("query_status", [](B& self) { return self.QueryStatus(); });
}
template <class B> void def_query_status_frame(py::class_<B>& cls) {
    cls.def("query_status", [](B& self, unsigned int frame) { return self.QueryStatus(frame); });
}
template <class B> void def_wait_status(py::class_<B>& cls) {
    cls.def("wait_status", [](B& self) {
        return interruptible_wait(abort_of(self), [&] { return self.WaitStatus(); });
    });
}
template <class B> void def_wait_status_frame(py::class_<B>& cls) {
    cls.def("wait_status", [](B& self, unsigned int frame) {
        return interruptible_wait(abort_of(self), [&] { return self.WaitStatus(frame); });
    });
}
template <class B> void def_force_trigger(py::class_<B>& cls) {
    cls.def("force_trigger", [](B& self) { self.ForceTrigger(); });
}
template <class B> void def_abort_option(py::class_<B>& cls) {
    cls.def("abort", [](B& self, unsigned int option) { self.Abort(option); });
}

// The library fills a copy of the caller's record while other threads run; the copy is written
// back once the interpreter lock is held again, whether the call returned or threw.
bool wait_status_into(CxKX310& self, TxKX310CaptureStatus* result, int timeout) {
    if (!result)
        return interruptible_wait(abort_of(self),
                                  [&] { return self.WaitStatus(nullptr, timeout); });
    struct WriteBack {
        TxKX310CaptureStatus* target;
        TxKX310CaptureStatus local;
        ~WriteBack() { *target = local; }
    } copy{result, *result};
    return interruptible_wait(abort_of(self),
                              [&] { return self.WaitStatus(&copy.local, timeout); });
}

} // namespace

void init_kx210(py::module_& m) {
    auto cls = def_board_head<CxKX210>(m, "KX210");
    def_status(cls);
    def_wait_status(cls);
    def_query_status(cls);
    def_query_status_frame(cls);
    def_wait_status_frame(cls);
    def_force_trigger(cls);
    def_abort_option(cls);
    def_board_tail(cls);
}

void init_kx310(py::module_& m) {
    auto cls = def_board_head<CxKX310>(m, "KX310");
    def_query_status(cls);
    cls.def(
        "query_status",
        [](CxKX310& self, TxKX310CaptureStatus* result) { self.QueryStatus(result); },
        py::arg("result"));
    def_wait_status(cls);
    cls.def("wait_status", &wait_status_into, py::arg("result"), py::arg("timeout") = 5000);
    def_status(cls);
    cls.def("wait",
            [](CxKX310& self, int timeout) {
                return interruptible_wait(abort_of(self), [&] { return self.Wait(timeout); });
            })
        // What the library writes through the pointer is not handed back.
        .def("wait_event",
             [](CxKX310& self, int event, int timeout, int value) {
                 // An event wait ends by cancelling it.
                 return interruptible_wait([&self, event] { self.CancelWaitEvent(event); },
                                           [&] { return self.WaitEvent(event, timeout, &value); });
             })
        .def("cancel_wait_event", [](CxKX310& self, int event) { self.CancelWaitEvent(event); })
        .def(
            "force_trigger", [](CxKX310& self, int ch) { self.ForceTrigger(ch); },
            py::arg("ch") = -1)
        .def(
            "stop_pg", [](CxKX310& self, int ch) { self.StopPG(ch); }, py::arg("ch") = -1)
        .def(
            "reset_pg", [](CxKX310& self, int ch) { self.ResetPG(ch); }, py::arg("ch") = -1)
        .def(
            "clear_trigger_mask", [](CxKX310& self, int ch) { self.ClearTriggerMask(ch); },
            py::arg("ch") = -1)
        .def("pll_reconfig", [](CxKX310& self) { self.PLLReconfig(); });
    def_board_tail(cls);
}

void init_tr520(py::module_& m) {
    auto cls = def_board_head<CxTR520>(m, "TR520");
    def_status(cls);
    def_query_status(cls);
    def_query_status_frame(cls);
    def_wait_status(cls);
    def_wait_status_frame(cls);
    def_force_trigger(cls);
    def_abort_option(cls);
    def_board_tail(cls);
}

} // namespace pyzol
