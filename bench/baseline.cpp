// Baseline for call-overhead measurements: a bare pybind11 class whose members have the shape of
// MB100.read() (with its indexed overload) and MB100.is_opened, built the same way as pyzol.unit
// but doing no device work; and a bare binding of one encoder setting.
#include <pybind11/pybind11.h>

#include <zol/video.h>

namespace py = pybind11;

namespace {
struct Bare {
    virtual ~Bare() = default;
    virtual void Read(unsigned int* word) { *word = latch; }
    virtual void Read(int index, bool* state) { *state = (latch >> index) & 1u; }
    virtual bool IsOpened() const { return opened; }
    unsigned int latch = 0x8000'0001u;
    bool opened = true;
};

struct BareEncoder {
    BareEncoder() {
        board.Open(3, 0);
        encoder = zol::Video::CxKX210Encoder::From(&board);
    }
    zol::Video::CxKX210 board;
    zol::Video::CxKX210Encoder encoder;
};
} // namespace

PYBIND11_MODULE(baseline, m) {
    py::class_<Bare>(m, "Bare")
        .def(py::init<>())
        .def("read",
             [](Bare& self) {
                 unsigned int word = 0;
                 self.Read(&word);
                 return word;
             })
        .def("read",
             [](Bare& self, int index) {
                 bool state = false;
                 self.Read(index, &state);
                 return state;
             })
        .def_property_readonly("is_opened", [](const Bare& self) { return self.IsOpened(); });

    // The same bare binding around the library's encoder setting Comp1 (board KX210 3/0), to
    // tell the module's share of KX210Encoder.comp1 from the stand-in's.
    py::class_<BareEncoder>(m, "BareEncoder")
        .def(py::init<>())
        .def_property_readonly("comp1",
                               [](const BareEncoder& self) { return self.encoder.Comp1(); });
}
