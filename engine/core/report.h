// The report model: a report (page settings and five layers), its layers, each layer's
// collection of drawing objects, and the drawing objects that host one control of the control
// library each. Every output path draws a report through ReportObject::Draw; report files hold it
// as the element "KPREPORT30", the layer elements and two object elements per layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/control_interfaces.h"
#include "engine/core/object_signature.h"
#include "engine/core/scriptable.h"
#include "engine/core/services.h"
#include "engine/include/kpengn_members.h"

namespace kp {

class ApplicationObject;
class FontUsageTable;
class StreamFile;
class ReportObject;
class LayerCollection;
class LayerObject;
class ObjectCollection;
class ItemObject;

// Result codes of the report model.
namespace rc {
inline constexpr int32_t kNewerFormat = -120;
inline constexpr int32_t kListNoMemory = -10005;
inline constexpr int32_t kNoHeap = -10006;
inline constexpr int32_t kRecordNotFreed = -10007;
inline constexpr int32_t kMappingFailed = -10204;
inline constexpr int32_t kBrushFailed = -10302;
inline constexpr int32_t kNameTooLong = -10303;
inline constexpr int32_t kNameTaken = -10304;
inline constexpr int32_t kNotAGroup = -10305;
inline constexpr int32_t kBadName = -10306;
inline constexpr int32_t kNoSuchObject = -10308;
inline constexpr int32_t kControlEntryMissing = -10309;
inline constexpr int32_t kControlClassRefused = -10310;
inline constexpr int32_t kNoPersist = -14018;
inline constexpr int32_t kMalformedRecords = -19001;
inline constexpr int32_t kSaveWithoutName = -19002;
inline constexpr int32_t kControlSaveFailed = -19003;
inline constexpr int32_t kNoTemporaryFile = -19004;
inline constexpr int32_t kCopyFailed = -19005;
inline constexpr int32_t kLoadedObjectUnusable = -19006;
inline constexpr int32_t kUnusableElement = -19999;
}  // namespace rc

// DrawFlags of ReportObject::Draw.
namespace drawflag {
inline constexpr uint32_t kLayers = 0x00000001;
inline constexpr uint32_t kHiddenToo = 0x00001000;
inline constexpr uint32_t kNoSelectionPass = 0x00002000;
inline constexpr uint32_t kControlBit14 = 0x00004000;
inline constexpr uint32_t kSelectionMark = 0x00008000;
inline constexpr uint32_t kRecording = 0x08000000;
inline constexpr uint32_t kHiddenAlone = 0x10000000;
inline constexpr uint32_t kEverything = 0x20000000;
inline constexpr uint32_t kBackgroundOnly = 0x40000000;
inline constexpr uint32_t kBackground = 0x80000000;
inline constexpr uint32_t kPassed = 0xF8007001;
}  // namespace drawflag

// Comment kinds recorded into a page.
inline constexpr uint32_t kLayerMark = 2;
inline constexpr uint32_t kObjectBegins = 0x4000;
inline constexpr uint32_t kObjectEnds = 0x8000;
inline constexpr size_t kMarkCommentSize = 43;
inline constexpr size_t kObjectChunkSize = 65280;

// ---------------------------------------------------------------------------------------------
// Record readers shared by the four elements. length is the record's announced length; a
// negative one, or one that runs past the stream's end, answers -19001 before anything is read.

// 0, or -19001 for a negative length or one past the stream's end.
int32_t CheckTaggedLength(EngineStream* stream, int32_t length);
// A UTF-16 string with its terminator; length 0 gives null. Units after the first 0 are dropped.
int32_t ReadTaggedString(EngineStream* stream, int32_t length, plat::Bstr* out);
// A fixed-width value: min(length, width) bytes into the field, zeroed first, the rest of the
// record skipped; length 0 leaves the field as it was.
int32_t ReadTaggedField(EngineStream* stream, int32_t length, void* field, size_t width);
// Skips a record's value.
int32_t SkipTaggedValue(EngineStream* stream, int32_t length);

// ---------------------------------------------------------------------------------------------
// Drawing objects

// The members of one group, or the top level of a layer: name order, drawing order (first drawn
// first) and the selection chain in order of selection.
struct ObjectLevel {
    std::vector<ItemObject*> byName;
    std::vector<ItemObject*> zOrder;
    std::vector<ItemObject*> selected;
};

class ItemObject final : public ScriptableObject {
  public:
    enum Member : int32_t {
        kDrawObject = KPM_DRAWING_OBJECT_DRAW_OBJECT,
        kName = KPM_DRAWING_OBJECT_NAME,
        kVisible = KPM_DRAWING_OBJECT_VISIBLE,
        kTop = KPM_DRAWING_OBJECT_TOP,
        kLeft = KPM_DRAWING_OBJECT_LEFT,
        kBottom = KPM_DRAWING_OBJECT_BOTOOM,
        kRight = KPM_DRAWING_OBJECT_RIGHT,
        kSelected = KPM_DRAWING_OBJECT_SELECTED,
        kValue9009 = KPM_DRAWING_OBJECT_VALUE9009,
        kClose = KPM_DRAWING_OBJECT_CLOSE,
        kClearData = KPM_DRAWING_OBJECT_CLEAR_DATA,
        kChangeZOrder = KPM_DRAWING_OBJECT_CHANGE_Z_ORDER,
        kIsInsideContainer = KPM_DRAWING_OBJECT_IS_INSIDE_CONTAINER,
        kRedraw = KPM_DRAWING_OBJECT_REDRAW,
    };

    explicit ItemObject(const InterfaceId& classId);
    ~ItemObject() override;
    ItemObject(const ItemObject&) = delete;
    ItemObject& operator=(const ItemObject&) = delete;

    // Creates the control and gives it the site.
    int32_t Attach(ObjectCollection* owner);

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    int32_t Draw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip, int32_t inherit,
                 uint32_t flags);

    const InterfaceId& classId() const { return classId_; }
    ObjectCollection* owner() const { return owner_; }
    ItemObject* parent() const { return parent_; }
    ItemObject* selectionParent() const { return selectionParent_; }
    ObjectLevel& members() { return members_; }
    bool isGroup() const { return groupFlag_ != 0; }
    uint16_t kind() const { return kind_; }
    bool visible() const { return visible_ != 0; }
    int32_t value9009() const { return value9009_; }
    void SetVisibleFlag(int32_t v) { visible_ = v != 0 ? 1 : 0; }
    void SetValue9009(int32_t v) { value9009_ = v; }
    void SetLoading(int32_t loading) { loading_ = loading; }
    // The control's interfaces (no reference taken); null without a control.
    ControlSiteHolder* control() const { return control_; }
    ControlDraw* drawInterface() const { return draw_; }
    ScriptableObject* mainInterface() const { return main_; }
    ControlHitTestFn hitTest() const { return hitTest_; }
    int32_t GetRect(RectL* out);
    // Moves the rectangle after checking it converts inside the limits.
    int32_t SetRectChecked(const RectL& rect);
    int32_t GetNameString(std::u16string* out);
    int32_t SetSelected(bool on);
    int32_t RaiseEvent(int32_t eventId, std::initializer_list<plat::Variant> extra,
                       bool evenWhileLoading = false);

  private:
    friend class ObjectCollection;

    class Site final : public ControlSite {
      public:
        explicit Site(ItemObject* item) : item_(item) {}
        int32_t QueryInterface(const InterfaceId* iid, void** out) override;
        int32_t AddRef() override;
        int32_t Release() override;
        int32_t OnActivate(int16_t* leaveActive) override;
        int32_t OnUIActivate(int16_t* leaveUIActive) override;
        int32_t OnDeactivate(int16_t* leave) override;
        int32_t OnUIDeactivate(int16_t* leaveDeactive) override;
        int32_t OnPosRectChange(RectL* area, const RectL* first, const RectL* second) override;
        int32_t OnPosRectChanging(RectL* area, const RectL* rect, uint32_t* modifyFlag) override;
        int32_t GetWindow(uint32_t* window) override;
        int32_t RaiseEvent20013(uint32_t* value) override;
        int32_t OnSetMenu(uint32_t menu, uint32_t* window) override;
        int32_t OnRemoveMenu(uint32_t menu, uint32_t window) override;
        int32_t RaiseEvent20011(uint32_t value) override;
        int32_t RaiseEvent20014(RectL* rect) override;
        int32_t RaiseEvent20015(RectL* rect) override;
        int32_t RaiseEvent20015Again(RectL* rect) override;
        int32_t OnClose() override;
        int32_t OnPropertyChanged(int32_t memberId) override;
        int32_t RaiseEvent20017(const RectL* rect) override;
        int32_t ConvertRect(int32_t direction, RectL* rect) override;

      private:
        int32_t BoolEvent(int32_t id, int16_t* flag);
        int32_t RectEvent(int32_t id, RectL* rect);
        ItemObject* item_;
    };

    class MemberEntry final : public MemberDrawing {
      public:
        explicit MemberEntry(ItemObject* item) : item_(item) {}
        int32_t QueryInterface(const InterfaceId* iid, void** out) override;
        int32_t AddRef() override;
        int32_t Release() override;
        int32_t DrawMembers(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                            int32_t inheritState, uint32_t flags) override;
        int32_t DrawMembersEnd() override { return rc::kOk; }

      private:
        ItemObject* item_;
    };

    int32_t OutlineFallback(uint32_t drawDc, uint32_t attributeDc);
    int32_t RecordAndDraw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip, int32_t inherit,
                          uint32_t flags);
    int32_t CallControlDraw(uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                            int32_t inherit, uint32_t flags);
    void ReleaseControl();

    int32_t GetDrawObject(plat::Variant* value);
    int32_t GetName(plat::Variant* value);
    int32_t PutName(const plat::Variant& argument);
    int32_t GetVisible(plat::Variant* value);
    int32_t PutVisible(const plat::Variant& argument);
    int32_t GetEdge(int32_t RectL::*edge, plat::Variant* value);
    int32_t PutEdge(int32_t memberId, int32_t RectL::*edge, const plat::Variant& argument);
    int32_t GetTop(plat::Variant* v) { return GetEdge(&RectL::top, v); }
    int32_t GetLeft(plat::Variant* v) { return GetEdge(&RectL::left, v); }
    int32_t GetBottom(plat::Variant* v) { return GetEdge(&RectL::bottom, v); }
    int32_t GetRight(plat::Variant* v) { return GetEdge(&RectL::right, v); }
    int32_t PutTop(const plat::Variant& a) { return PutEdge(kTop, &RectL::top, a); }
    int32_t PutLeft(const plat::Variant& a) { return PutEdge(kLeft, &RectL::left, a); }
    int32_t PutBottom(const plat::Variant& a) { return PutEdge(kBottom, &RectL::bottom, a); }
    int32_t PutRight(const plat::Variant& a) { return PutEdge(kRight, &RectL::right, a); }
    int32_t GetSelected(plat::Variant* value);
    int32_t PutSelected(const plat::Variant& argument);
    int32_t Get9009(plat::Variant* value);
    int32_t Put9009(const plat::Variant& argument);
    int32_t CloseMember(const plat::Variant* args, plat::Variant* value);
    int32_t ClearDataMember(const plat::Variant* args, plat::Variant* value);
    int32_t ChangeZOrderMember(const plat::Variant* args, plat::Variant* value);
    int32_t IsInsideContainerMember(const plat::Variant* args, plat::Variant* value);
    int32_t RedrawMember(const plat::Variant* args, plat::Variant* value);

    static const PropertyRow<ItemObject> kProperties[];
    static const MethodRow<ItemObject> kMethods[];

    std::recursive_mutex lock_;
    ObjectCollection* owner_ = nullptr;
    ObjectSignature signature_;
    ControlHitTestFn hitTest_ = nullptr;
    const InterfaceId classId_;
    ScriptableObject* main_ = nullptr;
    ControlDraw* draw_ = nullptr;
    ControlSiteHolder* control_ = nullptr;
    Site site_{this};
    MemberEntry memberEntry_{this};
    int32_t groupFlag_ = 0;
    uint16_t kind_ = kPlacementGroup;
    int32_t value9009_ = 0;
    int32_t visible_ = 1;
    int32_t loading_ = 1;
    // Tree links: the group holding this object, the group whose selection chain holds it, and
    // its own members.
    ItemObject* parent_ = nullptr;
    ItemObject* selectionParent_ = nullptr;
    bool inSelection_ = false;
    ObjectLevel members_;
};

class ObjectCollection final : public ScriptableObject {
  public:
    enum Member : int32_t {
        kObject = KPM_OBJECT_COLLECTION_OBJECT,
        kCreateObject = KPM_OBJECT_COLLECTION_CREATE_OBJECT,
        kCopyObject = KPM_OBJECT_COLLECTION_COPY_OBJECT,
        kMoveObject = KPM_OBJECT_COLLECTION_MOVE_OBJECT,
        kGetObjectList = KPM_OBJECT_COLLECTION_GET_OBJECT_LIST,
        kDeselectAll = KPM_OBJECT_COLLECTION_DESELECT_ALL,
        kCount = KPM_OBJECT_COLLECTION_COUNT,
        kSelectedCount = KPM_OBJECT_COLLECTION_SELECTED_COUNT,
        kHitTest = KPM_OBJECT_COLLECTION_HIT_TEST,
        kGetSelectedList = KPM_OBJECT_COLLECTION_GET_SELECTED_LIST,
        kClearData = KPM_OBJECT_COLLECTION_CLEAR_DATA,
        kLastSelected = KPM_OBJECT_COLLECTION_LAST_SELECTED,
        kSelectAll = KPM_OBJECT_COLLECTION_SELECT_ALL,
        kSelectInRect = KPM_OBJECT_COLLECTION_SELECT_IN_RECT,
        kObjectAt = KPM_OBJECT_COLLECTION_OBJECT_AT,
        kSelectionBounds = KPM_OBJECT_COLLECTION_SELECTION_BOUNDS,
        kActiveControl = KPM_OBJECT_COLLECTION_ACTIVE_CONTROL,
    };

    ObjectCollection();
    ~ObjectCollection() override;
    ObjectCollection(const ObjectCollection&) = delete;
    ObjectCollection& operator=(const ObjectCollection&) = delete;

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    int32_t ResetHeap(LayerObject* owner);
    void SetUnit(uint16_t unit) { unit_ = unit; }
    void SetPitch(uint16_t vertical, uint16_t horizontal) {
        cpl_ = vertical;
        cpi_ = horizontal;
    }
    uint16_t unit() const { return unit_; }
    uint16_t cpl() const { return cpl_; }
    uint16_t cpi() const { return cpi_; }
    LayerObject* owner() const { return owner_; }
    std::recursive_mutex& lock() { return lock_; }

    int32_t Create(ItemObject* group, const InterfaceId& classId, const RectL& rect,
                   ItemObject** out, int32_t loading);
    // Create's steps after the allocation; inserted tells whether the object is in its level.
    int32_t CreateAttached(ItemObject* object, ItemObject* group, ObjectLevel& level,
                           const RectL& rect, int32_t loading, bool* inserted, ItemObject** out);
    ItemObject* Find(std::u16string_view dottedName, ItemObject* group);
    int32_t FullName(ItemObject* object, std::u16string* out);
    int32_t Rename(ItemObject* object, std::u16string_view name);
    int32_t DeleteTree(ItemObject* object);
    void DeleteAll();
    // Selection chain of the object's group (or the top level).
    void Select(ItemObject* object);
    void Deselect(ItemObject* object);
    ObjectLevel& LevelOf(ItemObject* group) { return group != nullptr ? group->members_ : top_; }
    int32_t MoveInZOrder(ItemObject* object, int32_t direction);
    int32_t DeselectAllIn(ItemObject* group);
    int32_t ClearAll();

    int32_t Draw(ItemObject* group, uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                 int32_t inherit, uint32_t flags);
    int32_t Save(StreamFile* container, int32_t layerNumber, int32_t drawingOnly,
                 FontUsageTable* fonts);
    int32_t Load(StreamFile* container, int32_t layerNumber, int32_t drawingOnly);

  private:
    int32_t CheckGroup(const plat::Variant& argument, ItemObject** group);
    int32_t InsertByName(ObjectLevel& level, ItemObject* object, bool isNew);
    int32_t CopyInto(ItemObject* group, ItemObject* source, ItemObject** out);
    int32_t SaveLevel(EngineStream* stream, ObjectLevel& level, uint16_t depth, int32_t drawingOnly,
                      FontUsageTable* fonts);
    int32_t LoadLevel(EngineStream* stream, uint16_t depth, ItemObject* group, int32_t* newer);
    int32_t ListMember(const plat::Variant* args, plat::Variant* value, bool selectedOnly);
    void DestroyObject(ItemObject* object);

    int32_t ObjectMember(const plat::Variant* args, plat::Variant* value);
    int32_t CreateObjectMember(const plat::Variant* args, plat::Variant* value);
    int32_t CopyObjectMember(const plat::Variant* args, plat::Variant* value);
    int32_t MoveObjectMember(const plat::Variant* args, plat::Variant* value);
    int32_t GetObjectListMember(const plat::Variant* args, plat::Variant* value);
    int32_t DeselectAllMember(const plat::Variant* args, plat::Variant* value);
    int32_t CountMember(const plat::Variant* args, plat::Variant* value);
    int32_t SelectedCountMember(const plat::Variant* args, plat::Variant* value);
    int32_t HitTestMember(const plat::Variant* args, plat::Variant* value);
    int32_t GetSelectedListMember(const plat::Variant* args, plat::Variant* value);
    int32_t ClearDataMember(const plat::Variant* args, plat::Variant* value);
    int32_t LastSelectedMember(const plat::Variant* args, plat::Variant* value);
    int32_t SelectAllMember(const plat::Variant* args, plat::Variant* value);
    int32_t SelectInRectMember(const plat::Variant* args, plat::Variant* value);
    int32_t ObjectAtMember(const plat::Variant* args, plat::Variant* value);
    int32_t SelectionBoundsMember(const plat::Variant* args, plat::Variant* value);
    int32_t ActiveControlMember(const plat::Variant* args, plat::Variant* value);

    static const MethodRow<ObjectCollection> kMethods[];

    std::recursive_mutex lock_;
    LayerObject* owner_ = nullptr;
    ObjectSignature signature_;
    uint16_t unit_ = 1;
    uint16_t cpl_ = 0;
    uint16_t cpi_ = 0;
    uint32_t nameCounter_ = 0;
    ObjectLevel top_;
};

// ---------------------------------------------------------------------------------------------
// Layers

class LayerObject final : public ScriptableObject {
  public:
    enum Member : int32_t {
        kObjects = KPM_LAYER_OBJECTS,
        kZOrder = KPM_LAYER_Z_ODER,
        kVisible = KPM_LAYER_VISIBLE,
    };

    LayerObject() = default;
    LayerObject(const LayerObject&) = delete;
    LayerObject& operator=(const LayerObject&) = delete;

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    int32_t Draw(ItemObject* group, uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                 uint32_t flags);
    ObjectCollection& objects() { return objects_; }
    LayerCollection* owner() const { return owner_; }
    uint16_t index() const { return index_; }
    uint16_t order();
    void SetOrder(uint16_t order);
    bool visible();
    void SetVisible(int32_t visible);

  private:
    friend class LayerCollection;
    int32_t GetObjects(plat::Variant* value);
    int32_t GetZOrder(plat::Variant* value);
    int32_t PutZOrder(const plat::Variant& argument);
    int32_t GetVisibleMember(plat::Variant* value);
    int32_t PutVisibleMember(const plat::Variant& argument);

    static const PropertyRow<LayerObject> kProperties[];

    std::recursive_mutex lock_;
    ObjectCollection objects_;
    LayerCollection* owner_ = nullptr;
    uint16_t index_ = 0;
    uint16_t order_ = 1;
    int32_t visible_ = 1;
};

class LayerCollection final : public ScriptableObject {
  public:
    static constexpr int kLayers = 5;
    enum Member : int32_t {
        kCount = KPM_LAYER_COLLECTION_COUNT,
        kLayer = KPM_LAYER_COLLECTION_LAYER
    };

    LayerCollection();
    LayerCollection(const LayerCollection&) = delete;
    LayerCollection& operator=(const LayerCollection&) = delete;

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    int32_t Attach(ReportObject* report);
    void SetUnit(uint16_t unit);
    void SetCharacterPitch(uint16_t cpl, uint16_t cpi);
    int32_t Draw(ItemObject* group, uint32_t drawDc, uint32_t attributeDc, const RectL* clip,
                 uint32_t flags);
    int32_t SetZOrder(LayerObject* layer, int32_t order);
    int32_t Save(StreamFile* container, int32_t drawingOnly, FontUsageTable* fonts);
    int32_t Load(StreamFile* container, int32_t drawingOnly);
    int32_t ClearData();
    LayerObject& layer(int n) { return layers_[n]; }  // 0-4
    ReportObject* owner() const { return owner_; }

  private:
    int32_t GetCount(plat::Variant* value);
    int32_t LayerMember(const plat::Variant* args, plat::Variant* value);

    static const PropertyRow<LayerCollection> kProperties[];
    static const MethodRow<LayerCollection> kMethods[];

    std::recursive_mutex lock_;
    ReportObject* owner_ = nullptr;
    LayerObject layers_[kLayers];
};

// ---------------------------------------------------------------------------------------------
// Report

class ReportObject final : public ScriptableObject {
  public:
    enum Member : int32_t {
        kFileName = KPM_REPORT_FILE_NAME,
        kTitle = KPM_REPORT_TITLE,
        kUnit = KPM_REPORT_UNIT,
        kOnGrid = KPM_REPORT_ON_GRID,
        kGridView = KPM_REPORT_GRID_VIEW,
        kGridInterval = KPM_REPORT_GRID_INTERVAL,
        kGridPitch = KPM_REPORT_GRID_PITCH,
        kCpi = KPM_REPORT_CPI,
        kCpl = KPM_REPORT_CPL,
        kPrinterSelectMode = KPM_REPORT_PRINTER_SELECT_MODE,
        kPaperSize = KPM_REPORT_PAPER_SIZE,
        kPaperLength = KPM_REPORT_PAPER_LENGTH,
        kPaperWidth = KPM_REPORT_PAPER_WIDTH,
        kPaperOrientation = KPM_REPORT_PAPER_ORIENTATION,
        kMemo = KPM_REPORT_MEMO,
        kLayers = KPM_REPORT_LAYERS,
        kHwnd = KPM_REPORT_HWND,
        kText5019 = KPM_REPORT_VALUE5019,
        kFlag5020 = KPM_REPORT_VALUE5020,
        kText5021 = KPM_REPORT_VALUE5021,
        kValue5022 = KPM_REPORT_VALUE5022,
        kDate5023 = KPM_REPORT_VALUE5023,
        kPrinterName = KPM_REPORT_PRINTER_NAME,
        kValue5029 = KPM_REPORT_VALUE5029,
        kValue5030 = KPM_REPORT_VALUE5030,
        kValue5031 = KPM_REPORT_VALUE5031,
        kValue5032 = KPM_REPORT_VALUE5032,
        kDraw = KPM_REPORT_DRAW,
        kSave = KPM_REPORT_SAVE,
        kIsDirty = KPM_REPORT_IS_DIRTY,
        kClearData = KPM_REPORT_CLEAR_DATA,
        kCloseReport = KPM_REPORT_CLOSE_REPORT,
        kLoadReportFile = KPM_REPORT_LOAD_REPORT_FILE,
    };
    static constexpr int32_t kReportCloseEvent = KPM_EVENT_REPORT_CLOSE;

    ReportObject();            // ReportConstruct
    ~ReportObject() override;  // ReportDestroy
    ReportObject(const ReportObject&) = delete;
    ReportObject& operator=(const ReportObject&) = delete;

    int32_t QueryInterface(const InterfaceId* iid, void** out) override;
    int32_t AddRef() override;
    int32_t Release() override;
    int32_t GetTypeInfo(ClassInfo** out) override;
    int32_t Invoke(int32_t memberId, int32_t kind, const InvokeArgs* args,
                   plat::Variant* result) override;

    int32_t AttachHost(ApplicationObject* app);  // ReportAttachHost
    int32_t Draw(ScriptableObject* group, uint32_t drawDc, uint32_t attributeDc, int32_t left,
                 int32_t top, int32_t right, int32_t bottom, uint32_t flags);
    int32_t DrawBackground(ScriptableObject* group, uint32_t drawDc, uint32_t attributeDc,
                           const RectL& rect, uint32_t flags);
    int32_t Save(const plat::OleChar* fileName, bool writeMode);
    int32_t LoadReportFile(const plat::OleChar* fileName);
    int32_t SaveToContainer(StreamFile* container, int32_t drawingOnly, FontUsageTable* fonts);
    int32_t LoadFromContainer(StreamFile* container, int32_t drawingOnly);
    int32_t LockUse();
    int32_t UnlockUse();
    int16_t paperWidth();
    int16_t paperLength();
    int16_t paperSizeCode();
    int16_t paperOrientation();

    ApplicationObject* owner() const { return owner_; }
    LayerCollection& layers() { return layers_; }
    uint32_t window();
    int32_t useCount();

  private:
    void ResetDefaults();
    void FreeStrings();
    int32_t SetPaperCode(int32_t code);
    int32_t FullPath(const plat::OleChar* name, std::u16string* out);
    int32_t GroupRectPixels(ScriptableObject* group, int32_t dpiX, int32_t dpiY, int32_t* across,
                            int32_t* down);

    int32_t GetStr(plat::Bstr ReportObject::*field, plat::Variant* value);
    int32_t PutStr(plat::Bstr ReportObject::*field, const plat::Variant& argument);
    int32_t GetFileName(plat::Variant* v) { return GetStr(&ReportObject::fileName_, v); }
    int32_t GetTitle(plat::Variant* v) { return GetStr(&ReportObject::title_, v); }
    int32_t PutTitle(const plat::Variant& a) { return PutStr(&ReportObject::title_, a); }
    int32_t GetMemo(plat::Variant* v) { return GetStr(&ReportObject::memo_, v); }
    int32_t PutMemo(const plat::Variant& a) { return PutStr(&ReportObject::memo_, a); }
    int32_t Get5021(plat::Variant* v) { return GetStr(&ReportObject::text5021_, v); }
    int32_t Put5021(const plat::Variant& a) { return PutStr(&ReportObject::text5021_, a); }
    int32_t Get5027(plat::Variant* v) { return GetStr(&ReportObject::printerName_, v); }
    int32_t Put5027(const plat::Variant& a) { return PutStr(&ReportObject::printerName_, a); }
    int32_t GetUnit(plat::Variant* value);
    int32_t PutUnit(const plat::Variant& argument);
    int32_t GetBoolField(int32_t ReportObject::*field, plat::Variant* value);
    int32_t PutBoolField(int32_t ReportObject::*field, const plat::Variant& argument);
    int32_t GetOnGrid(plat::Variant* v) { return GetBoolField(&ReportObject::onGrid_, v); }
    int32_t PutOnGrid(const plat::Variant& a) { return PutBoolField(&ReportObject::onGrid_, a); }
    int32_t GetGridView(plat::Variant* v) { return GetBoolField(&ReportObject::gridView_, v); }
    int32_t PutGridView(const plat::Variant& a) {
        return PutBoolField(&ReportObject::gridView_, a);
    }
    int32_t Get5020(plat::Variant* v) { return GetBoolField(&ReportObject::flag5020_, v); }
    int32_t Put5020(const plat::Variant& a) { return PutBoolField(&ReportObject::flag5020_, a); }
    int32_t GetU32(uint32_t ReportObject::*field, plat::Variant* value);
    int32_t PutU32(uint32_t ReportObject::*field, const plat::Variant& argument);
    int32_t GetGridInterval(plat::Variant* v) { return GetU32(&ReportObject::gridInterval_, v); }
    int32_t PutGridInterval(const plat::Variant& a) {
        return PutU32(&ReportObject::gridInterval_, a);
    }
    int32_t GetGridPitch(plat::Variant* v) { return GetU32(&ReportObject::gridPitch_, v); }
    int32_t PutGridPitch(const plat::Variant& a) { return PutU32(&ReportObject::gridPitch_, a); }
    int32_t Get5022(plat::Variant* v) { return GetU32(&ReportObject::value5022_, v); }
    int32_t Put5022(const plat::Variant& a) { return PutU32(&ReportObject::value5022_, a); }
    int32_t GetCpi(plat::Variant* value);
    int32_t PutCpi(const plat::Variant& argument);
    int32_t GetCpl(plat::Variant* value);
    int32_t PutCpl(const plat::Variant& argument);
    int32_t GetSelectMode(plat::Variant* value);
    int32_t PutSelectMode(const plat::Variant& argument);
    int32_t GetPaperSize(plat::Variant* value);
    int32_t PutPaperSize(const plat::Variant& argument);
    int32_t GetPaperDim(int16_t ReportObject::*field, plat::Variant* value);
    int32_t PutPaperDim(int16_t ReportObject::*field, const plat::Variant& argument);
    int32_t GetPaperLength(plat::Variant* v) { return GetPaperDim(&ReportObject::paperLength_, v); }
    int32_t PutPaperLength(const plat::Variant& a) {
        return PutPaperDim(&ReportObject::paperLength_, a);
    }
    int32_t GetPaperWidth(plat::Variant* v) { return GetPaperDim(&ReportObject::paperWidth_, v); }
    int32_t PutPaperWidth(const plat::Variant& a) {
        return PutPaperDim(&ReportObject::paperWidth_, a);
    }
    int32_t GetOrientation(plat::Variant* value);
    int32_t PutOrientation(const plat::Variant& argument);
    int32_t GetLayers(plat::Variant* value);
    int32_t GetHwnd(plat::Variant* value);
    int32_t PutHwnd(const plat::Variant& argument);
    int32_t Get5019(plat::Variant* value);
    int32_t Put5019(const plat::Variant& argument);
    int32_t Get5023(plat::Variant* value);
    int32_t Put5023(const plat::Variant& argument);
    int32_t GetU16Unlocked(uint16_t ReportObject::*field, plat::Variant* value);
    int32_t PutU16Unlocked(uint16_t ReportObject::*field, const plat::Variant& argument);
    int32_t Get5029(plat::Variant* v) { return GetU16Unlocked(&ReportObject::value5029_, v); }
    int32_t Put5029(const plat::Variant& a) { return PutU16Unlocked(&ReportObject::value5029_, a); }
    int32_t Get5030(plat::Variant* v) { return GetU16Unlocked(&ReportObject::value5030_, v); }
    int32_t Put5030(const plat::Variant& a) { return PutU16Unlocked(&ReportObject::value5030_, a); }
    int32_t Get5031(plat::Variant* v) { return GetU16Unlocked(&ReportObject::value5031_, v); }
    int32_t Put5031(const plat::Variant& a) { return PutU16Unlocked(&ReportObject::value5031_, a); }
    int32_t Get5032(plat::Variant* value);
    int32_t Put5032(const plat::Variant& argument);

    int32_t DrawMember(const plat::Variant* args, plat::Variant* value);
    int32_t SaveMember(const plat::Variant* args, plat::Variant* value);
    int32_t IsDirtyMember(const plat::Variant* args, plat::Variant* value);
    int32_t ClearDataMember(const plat::Variant* args, plat::Variant* value);
    int32_t CloseReportMember(const plat::Variant* args, plat::Variant* value);
    int32_t LoadReportFileMember(const plat::Variant* args, plat::Variant* value);

    static const PropertyRow<ReportObject> kProperties[];
    static const MethodRow<ReportObject> kMethods[];

    std::recursive_mutex lock_;
    ApplicationObject* owner_ = nullptr;
    LayerCollection layers_;
    uint32_t window_ = 0;
    plat::Bstr text5021_ = nullptr;
    plat::Bstr fileName_ = nullptr;
    plat::Bstr title_ = nullptr;
    plat::Bstr memo_ = nullptr;
    char16_t text5019_[13] = {};
    uint16_t unit_ = 1;
    int32_t onGrid_ = 0;
    int32_t gridView_ = 1;
    int32_t flag5020_ = 0;
    uint32_t gridInterval_ = 0x00010001;
    uint32_t gridPitch_ = 0x000A000A;
    uint32_t value5022_ = 0;
    int32_t value5032_ = 0;
    uint16_t cpl_ = 1;
    uint16_t cpi_ = 1;
    uint16_t selectMode_ = 1;
    int16_t paperCode_ = 9;
    int16_t paperWidth_ = 2100;
    int16_t paperLength_ = 2970;
    int16_t orientation_ = 1;
    double date5023_ = 0;
    plat::Bstr printerName_ = nullptr;
    uint16_t value5029_ = 0;
    uint16_t value5030_ = 0;
    uint16_t value5031_ = 100;
    ObjectSignature signature_;
    int32_t useCount_ = 0;
};

// 1 when the object carries the report signature, else 0.
int32_t IsReportObject(const void* object);
int32_t LockReportUse(ReportObject* report);
int32_t UnlockReportUse(ReportObject* report);
int16_t GetPaperWidth(ReportObject* report);
int16_t GetPaperLength(ReportObject* report);
int16_t GetPaperSizeCode(ReportObject* report);
int16_t GetPaperOrientation(ReportObject* report);
// Fires ReportClose, then destroys the report; answers 0.
int32_t DestroyReportObject(ReportObject* report);
// The report behind a scriptable pointer that passed IsReportObject.
inline ReportObject* AsReport(ScriptableObject* object) {
    return IsReportObject(object) ? static_cast<ReportObject*>(object) : nullptr;
}

// The default printer's paper as the report takes it at attach: its name, its default media
// matched by size (to the 0.1 mm) to a paper code, else 256 with the media's size, and its
// default orientation.
struct DefaultPaper {
    std::u16string printer;
    bool hasMedia = false;
    int16_t code = 0;
    int16_t width = 0;        // 0.1 mm
    int16_t length = 0;       // 0.1 mm
    int16_t orientation = 0;  // 1 portrait, 2 landscape, 0 when the printer names none
};
bool QueryDefaultPaper(DefaultPaper* out);

// Puts the report's constructor and attach into the application's child factories.
void AddReportServices(EngineServices& services);

}  // namespace kp
