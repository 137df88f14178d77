"""Type stubs of the package tarnlow, generated from the library's class
registry by python/tools/generate_stubs.py; do not edit."""
import datetime
import types
from typing import Any, Generic, Iterator, Literal, TypeVar, overload

__version__: str

_T = TypeVar("_T")
_G = TypeVar("_G")
_S = TypeVar("_S")
_O = TypeVar("_O", bound="Object")

class _Let(Generic[_S]):
    """A property that may only be assigned."""
    def __set__(self, instance: object, value: _S) -> None: ...

class _GetLet(Generic[_G, _S]):
    """A property read as _G and assigned from _S."""
    def __get__(self, instance: object, owner: Any = ...) -> _G: ...
    def __set__(self, instance: object, value: _S) -> None: ...

class Error(Exception):
    """A failure of the library, with its error record."""
    number: int
    source: str
    description: str
    def __init__(self, number: int, source: str, description: str) -> None: ...

class MemberError(Error, AttributeError):
    """Error 438 met reaching a member as an attribute."""

class Ref(Generic[_T]):
    """A value passed by reference: an argument the operation changes comes back in value."""
    value: _T
    def __init__(self, value: _T = ...) -> None: ...

class Object:
    """An object of the library; its members are attributes (letter case ignored)."""
    def __enter__(self: _O) -> _O: ...
    def __exit__(self, *exc: object) -> bool: ...

class Member:
    """An operation (or a property that takes arguments) of one object, to be called."""
    def __call__(self, *args: Any, **kwargs: Any) -> Any: ...

class Connection(Object):
    @property
    def DatabaseKind(self) -> int: ...
    @property
    def TableCatalogue(self) -> Any: ...
    @property
    def SystemInfo(self) -> Any: ...
    def Execute(self, sql: str) -> None:
        'Execute'
    def BeginTrans(self) -> int:
        'BeginTrans'
    def CommitTrans(self) -> None:
        'CommitTrans'
    def RollbackTrans(self) -> None:
        'RollbackTrans'

class TableCatalogue(Object):
    @property
    def ProductExpenseTable(self) -> str: ...
    @property
    def VatMatrixTable(self) -> str: ...
    @property
    def ProductUnitTable(self) -> str: ...
    @property
    def PriceListTable(self) -> str: ...
    @property
    def DiscountTable(self) -> str: ...
    @property
    def ProjectAnalysisTable(self) -> str: ...
    @property
    def NominalAnalysisTable(self) -> str: ...
    @property
    def SupplierInfoTable(self) -> str: ...
    @property
    def UnitDescriptionTable(self) -> str: ...
    @property
    def UnitConversionTable(self) -> str: ...
    @property
    def ServiceTable(self) -> str: ...
    @property
    def StockCategoryTable(self) -> str: ...
    @property
    def BatchTable(self) -> str: ...
    @property
    def StockHistoryTable(self) -> str: ...
    @property
    def NominalMovementTable(self) -> str: ...
    @property
    def StockTable(self) -> str: ...
    @property
    def StockExtensionTable(self) -> str: ...
    @property
    def ReceiptTable(self) -> str: ...
    @property
    def OrderLineTable(self) -> str: ...
    @property
    def OrderHeaderTable(self) -> str: ...
    @property
    def OrderLineAnalysisTable(self) -> str: ...
    @property
    def VarianceHistoryTable(self) -> str: ...
    @property
    def OrderFaxTable(self) -> str: ...
    @property
    def ProductGroupToleranceTable(self) -> str: ...
    @property
    def OrderRateTable(self) -> str: ...
    @property
    def VarianceHistoryRateTable(self) -> str: ...
    @property
    def OrderLineWeightTable(self) -> str: ...
    @property
    def OrderVatStateTable(self) -> str: ...
    @property
    def RetentionAnalysisTable(self) -> str: ...

class SystemInfo(Object):
    @property
    def DualRateOption(self) -> bool: ...
    @property
    def ReleaseNumber(self) -> int: ...
    @property
    def ExtendedLayout(self) -> bool: ...
    @property
    def VersionText(self) -> str: ...

class clsCEVatMatD(Object):
    SageConnection: _GetLet[Any, Object | None]
    UseList: _GetLet[bool, bool]
    account_vat_type: _GetLet[str, str]
    description: _GetLet[str, str]
    item_vat_type: _GetLet[str, str]
    vat_code: _GetLet[str, str]
    def FindClosestCode(self) -> bool:
        'Finds the VAT code of the closest matrix entry for the two VAT types; False when none.'
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def ResetCache(self) -> None:
        'Empties the cached copy of the matrix; the next FindClosestCode loads it again.'

class clsPODetailD(Object):
    SageConnection: _GetLet[Any, Object | None]
    alloc_expect_cost: _GetLet[float, float]
    bundle_line_ref: _GetLet[str, str]
    cost_per_unit: _GetLet[float, float]
    cost_price_u: _GetLet[float, float]
    date_completed: _GetLet[datetime.datetime, datetime.date]
    date_required: _GetLet[datetime.datetime, datetime.date]
    delivery_no1: _GetLet[str, str]
    delivery_no2: _GetLet[str, str]
    delivery_no3: _GetLet[str, str]
    description: _GetLet[str, str]
    discount: _GetLet[float, float]
    discount_code: _GetLet[str, str]
    discount_price_u: _GetLet[float, float]
    discount_tran_u: _GetLet[float, float]
    foreign_exp_cost: _GetLet[float, float]
    foreign_total_act: _GetLet[float, float]
    foreign_total_exp: _GetLet[float, float]
    goods_vat_ind: _GetLet[str, str]
    grn_required: _GetLet[str, str]
    inv_qty_to_date: _GetLet[float, float]
    inv_value_logged: _GetLet[float, float]
    inv_value_posted: _GetLet[float, float]
    level_of_detail: _GetLet[str, str]
    line_type: _GetLet[str, str]
    list_cost_price_u: _GetLet[float, float]
    list_cost_stock_u: _GetLet[float, float]
    list_cost_tran_u: _GetLet[float, float]
    local_expect_cost: _GetLet[float, float]
    local_total_actual: _GetLet[float, float]
    local_total_expect: _GetLet[float, float]
    log_inv_by_qty: _GetLet[str, str]
    long_description: _GetLet[str, str]
    mrp_flag: _GetLet[str, str]
    new_rec_this_run: _GetLet[str, str]
    new_vat_code: _GetLet[str, str]
    nl_category: _GetLet[str, str]
    order_line_no: _GetLet[int, int]
    order_no: _GetLet[str, str]
    orig_qty: _GetLet[float, float]
    pricing_unit: _GetLet[str, str]
    pricing_unit_fact: _GetLet[float, float]
    pricing_unit_op: _GetLet[str, str]
    product: _GetLet[str, str]
    qty_invoiced: _GetLet[float, float]
    qty_issued: _GetLet[float, float]
    qty_ordered: _GetLet[float, float]
    qty_received: _GetLet[float, float]
    qty_returned: _GetLet[float, float]
    serial_indic: _GetLet[str, str]
    ship_date: _GetLet[datetime.datetime, datetime.date]
    spare: _GetLet[str, str]
    status: _GetLet[str, str]
    stock_unit_dp: _GetLet[str, str]
    tran_code1: _GetLet[str, str]
    tran_code2: _GetLet[str, str]
    tran_code3: _GetLet[str, str]
    tran_exp_cost: _GetLet[float, float]
    tran_exp_fcost: _GetLet[float, float]
    tran_inv_qty: _GetLet[float, float]
    tran_order_qty: _GetLet[float, float]
    tran_orig_orderq: _GetLet[float, float]
    tran_qty_returned: _GetLet[float, float]
    tran_recd_qty: _GetLet[float, float]
    trans_unit_dp: _GetLet[str, str]
    unalloc_qty: _GetLet[float, float]
    unit_code: _GetLet[str, str]
    unit_factor: _GetLet[float, float]
    unit_group: _GetLet[str, str]
    unit_operand: _GetLet[str, str]
    value_disc_flag: _GetLet[str, str]
    vat_code: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    weight: _GetLet[float, float]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts the line, its variance history and analysis rows (not for type C) and its weight row.'
    def InitialiseValues(self) -> None:
        'Puts every property back to its creation default.'
    def CopyFrom(self, oFromPODetailD: Object | None) -> None:
        'Copies every property of another object of the class.'
    def CopyFromRst(self, rst: Any) -> None:
        'Copies the current row of a row set into the properties.'
    def StartReadForOrder(self) -> None:
        'Reads every line of order_no, in line order, ready for ReadNextForOrder.'
    def ReadNextForOrder(self) -> bool:
        'Reads the next row of the walk into the properties; False when there are no more.'
    def DeleteForOrder(self) -> Any:
        'Deletes the lines of order_no, their weight rows and, as the flags say, their companion rows.'
    def UpdateForInvoice(self, AddInvQtyToDate: float | Ref[Any], AddInvValueLogged: float | Ref[Any]) -> None:
        'Adds the invoiced quantity and value to the line in one update.'
    def ReadIt(self) -> None:
        'Reads the line given by order_no and order_line_no.'
    UsePODetpgD: _GetLet[bool, bool]
    @property
    def PODetpgD(self) -> Any: ...
    UsePOVHstD: _GetLet[bool, bool]
    @property
    def POVHstD(self) -> Any: ...
    UseIntrastats: _GetLet[bool, bool]

class clsPODetpgD(Object):
    SageConnection: _GetLet[Any, Object | None]
    analysis_a: _GetLet[str, str]
    analysis_b: _GetLet[str, str]
    analysis_c: _GetLet[str, str]
    analysis_d: _GetLet[str, str]
    analysis_e: _GetLet[str, str]
    analysis_f: _GetLet[str, str]
    delivery_qty_tol: _GetLet[str, str]
    invoice_price_tol: _GetLet[str, str]
    invoice_qty_tol: _GetLet[str, str]
    invoice_value_tol: _GetLet[str, str]
    order_line_no: _GetLet[int, int]
    order_no: _GetLet[str, str]
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def Reset(self) -> None:
        'Puts every property back to its creation default.'
    def CopyFromRecordset(self, rst: Any) -> None:
        'Copies the current row of a row set into the properties.'
    def CopyFrom(self, oPODetpgD: Object | None) -> None:
        'Copies every property of another object of the class.'
    def DeleteForOrder(self) -> Any:
        'Deletes the rows of the order in the order number property.'

class clsPOHeadD(Object):
    SageConnection: _GetLet[Any, Object | None]
    address1: _GetLet[str, str]
    address2: _GetLet[str, str]
    address3: _GetLet[str, str]
    address4: _GetLet[str, str]
    address5: _GetLet[str, str]
    alpha: _GetLet[str, str]
    amend_req_no: _GetLet[str, str]
    buyer_id: _GetLet[str, str]
    committed_flag: _GetLet[str, str]
    committed_year: _GetLet[str, str]
    pOcurrency: _GetLet[str, str]
    date_completed: _GetLet[datetime.datetime, datetime.date]
    date_entered: _GetLet[datetime.datetime, datetime.date]
    date_required: _GetLet[datetime.datetime, datetime.date]
    delivery_address1: _GetLet[str, str]
    delivery_address2: _GetLet[str, str]
    delivery_address3: _GetLet[str, str]
    delivery_address4: _GetLet[str, str]
    delivery_address5: _GetLet[str, str]
    delivery_address6: _GetLet[str, str]
    discount_category: _GetLet[str, str]
    exchange_rate: _GetLet[float, float]
    firm_planned: _GetLet[str, str]
    hold_indicator: _GetLet[str, str]
    last_grn_date: _GetLet[datetime.datetime, datetime.date]
    last_inv_log_date: _GetLet[datetime.datetime, datetime.date]
    memo1: _GetLet[str, str]
    memo2: _GetLet[str, str]
    mrp_included: _GetLet[str, str]
    nl_company: _GetLet[str, str]
    order_no: _GetLet[str, str]
    orig_paper_req_no: _GetLet[str, str]
    orig_req_id: _GetLet[str, str]
    orig_req_no: _GetLet[str, str]
    parent_order: _GetLet[str, str]
    pl_company: _GetLet[str, str]
    price_list: _GetLet[str, str]
    spare: _GetLet[str, str]
    status: _GetLet[str, str]
    supplier: _GetLet[str, str]
    supplier_ref: _GetLet[str, str]
    tran_code1: _GetLet[str, str]
    tran_code2: _GetLet[str, str]
    tran_code3: _GetLet[str, str]
    vat_type: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts the header row, then its fax, exchange-rate and VAT-state rows as the flags and options say.'
    def DeleteForOrder(self) -> Any:
        'Deletes the header of order_no with its fax, exchange-rate and VAT-state rows.'
    def CheckIfExists(self) -> bool:
        'True when a header row with order_no exists.'
    def ReadIt(self) -> None:
        'Reads the header of order_no, with its fax row and VAT state when the flags say so.'
    @property
    def POHeadX1D(self) -> Any: ...
    UsePOHeadX1: _GetLet[bool, bool]
    operator1: _GetLet[str, str]
    UseIntrastats: _GetLet[bool, bool]
    rate_source: _GetLet[str, str]
    delivery_terms: _GetLet[str, str]
    contract_number: _GetLet[str, str]
    vatstate: _GetLet[str, str]
    address6: _GetLet[str, str]
    town_city: _GetLet[str, str]
    county: _GetLet[str, str]
    state_region: _GetLet[str, str]
    iso_country_Code: _GetLet[str, str]
    country: _GetLet[str, str]
    del_town_city: _GetLet[str, str]
    del_county: _GetLet[str, str]
    del_state_region: _GetLet[str, str]
    del_iso_country_code: _GetLet[str, str]
    del_country: _GetLet[str, str]

class clsPOHeadx1D(Object):
    SageConnection: _GetLet[Any, Object | None]
    fax: _GetLet[str, str]
    order_no: _GetLet[str, str]
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def Reset(self) -> None:
        'Puts every property back to its creation default.'
    def CopyFromRecordset(self, rst: Object | None) -> None:
        'Copies the current row of a row set into the properties.'
    def CopyFrom(self, oPOHeadx1D: Object | None) -> None:
        'Copies every property of another object of the class.'
    def DeleteForOrder(self) -> Any:
        'Deletes the rows of the order in the order number property.'

class clsPONLAcc(Object):
    Category: _GetLet[str, str]
    NominalCode: _GetLet[str, str]

class clsPONLCodeD(Object):
    SageConnection: _GetLet[Any, Object | None]
    InsertPONLExtD: _GetLet[bool, bool]
    LineNo: _GetLet[int, int]
    orderNo: _GetLet[str, str]
    supplier: _GetLet[str, str]
    code_value: _GetLet[float, float]
    exp_code: _GetLet[str, str]
    jc_code: _GetLet[str, str]
    nominal_code: _GetLet[str, str]
    page_number: _GetLet[int, int]
    @property
    def FormattedPageNumber(self) -> str: ...
    @property
    def record_key(self) -> str: ...
    record_type: _GetLet[str, str]
    sp_code_value: _GetLet[float, float]
    exprev_code: _GetLet[str, str]
    pr_period: _GetLet[str, str]
    proj_code: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts the analysis row and, as the two flags say, the project and retention rows.'
    def DeleteForOrder(self) -> None:
        'Deletes the analysis, project and retention rows of the order.'
    def StartReadForOrderDetailLine(self) -> None:
        'Reads the analysis rows of the line given by orderNo and LineNo, ready for the walk.'
    def ReadNextForOrderDetailLine(self) -> bool:
        'Puts the next row of the walk into the properties; False when there are no more.'
    def CopyFromRS(self, rs: Object | None) -> None:
        'Copies the current row of a row set into the properties.'
    def CopyFrom(self, oFromPONLCodeD: Object | None) -> None:
        'Copies every property of another object of the class.'
    def RestartReadForOrderDetailLine(self) -> None:
        'Starts the walk again from the first row read, without a new query.'
    InsertPONLExtG: _GetLet[bool, bool]
    retention_code: _GetLet[str, str]
    non_recov_vat: _GetLet[str, str]
    retention_type: _GetLet[str, str]

class clsPONLExtD(Object):
    SageConnection: _GetLet[Any, Object | None]
    page_number: _GetLet[str, str]
    exprev_code: _GetLet[str, str]
    pr_period: _GetLet[str, str]
    proj_code: _GetLet[str, str]
    record_key: _GetLet[str, str]
    record_type: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def DeleteForOrder(self, sOrderNo: str | Ref[Any]) -> Any:
        'Deletes the project analysis rows of order sOrderNo.'
    def ReadForOrderLine(self) -> None:
        'Reads the project analysis row of record_key.'
    def CopyFrom(self, oFromPONLExtD: Object | None) -> None:
        'Copies every property of another object of the class.'
    def CopyFromRS(self, rs: Object | None) -> None:
        'Copies the current row of a row set into the properties.'

class clsPOOStock(Object):
    SageConnection: _GetLet[Any, Object | None]
    @property
    def drawing_number(self) -> str: ...
    @property
    def alpha(self) -> str: ...
    @property
    def purchase_unit(self) -> str: ...
    @property
    def stock_vat_type(self) -> str: ...
    @property
    def serial_numbers(self) -> str: ...
    @property
    def qty_decimal_places(self) -> str: ...
    @property
    def pricing_discount(self) -> str: ...
    @property
    def supplier(self) -> str: ...
    @property
    def weight(self) -> float: ...
    @property
    def batch_traceability(self) -> str: ...
    @property
    def purchase_key(self) -> str: ...
    last_supplier: _Let[str]
    @property
    def physical_qty(self) -> float: ...
    AdjustOnOrderQty: _GetLet[float, float]
    @property
    def standard_cost(self) -> float: ...
    @property
    def standard_labour(self) -> float: ...
    @property
    def standard_material(self) -> float: ...
    @property
    def standard_overhead(self) -> float: ...
    @property
    def standard_subcontra(self) -> float: ...
    current_cost: _GetLet[float, float]
    @property
    def expected_cost(self) -> float: ...
    @property
    def current_labour(self) -> float: ...
    current_material: _GetLet[float, float]
    @property
    def current_overhead(self) -> float: ...
    @property
    def current_subcontra(self) -> float: ...
    warehouse: _GetLet[str, str]
    product: _GetLet[str, str]
    @property
    def description(self) -> str: ...
    @property
    def long_description(self) -> str: ...
    Unit: _GetLet[str, str]
    def ReadIt(self) -> None:
        'Reads the item of warehouse and product.'
    def PrepareUpdateStatement(self) -> None:
        'Prepares the update statement once per object.'
    def UpdateForOrder(self) -> None:
        "Adds AdjustOnOrderQty to the item's on-order quantity."
    @property
    def analysis_a(self) -> str: ...
    @property
    def analysis_b(self) -> str: ...
    @property
    def analysis_c(self) -> str: ...
    @property
    def buyer_id(self) -> str: ...
    delivery_date: _GetLet[datetime.datetime, datetime.date]
    def PrepareUpdateStatementDeliveryDate(self) -> None:
        'Prepares the update with the delivery date once per object.'
    def UpdateForOrderDeliveryDate(self) -> None:
        'Adds AdjustOnOrderQty to the on-order quantity and sets the delivery date.'

class clsPOPDiscountD(Object):
    SageConnection: _GetLet[Any, Object | None]
    cust_disc_code: _GetLet[str, str]
    description: _GetLet[str, str]
    discount1: _GetLet[float, float]
    discount2: _GetLet[float, float]
    discount3: _GetLet[float, float]
    discount4: _GetLet[float, float]
    discount5: _GetLet[float, float]
    discount6: _GetLet[float, float]
    discount7: _GetLet[float, float]
    discount_type: _GetLet[str, str]
    price_list: _GetLet[str, str]
    prod_disc_code: _GetLet[str, str]
    quantity_break1: _GetLet[float, float]
    quantity_break2: _GetLet[float, float]
    quantity_break3: _GetLet[float, float]
    quantity_break4: _GetLet[float, float]
    quantity_break5: _GetLet[float, float]
    quantity_break6: _GetLet[float, float]
    quantity_break7: _GetLet[float, float]
    unit_code: _GetLet[str, str]
    unit_group: _GetLet[str, str]
    vat_inclusive_flag: _GetLet[str, str]
    pop_discount_cat: _GetLet[str, str]
    def ReadIt(self) -> None:
        "Finds the discount of the three key codes in the object's cached copy of the table."
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def CopyFrom(self, oFromPOPDiscountD: Object | None | Ref[Any]) -> None:
        'Copies every property of another object of the class.'
    def KeyString(self) -> str:
        'The key the object is listed under in a collection.'
    def CopyFromRS(self, rstPODis: Object | None | Ref[Any]) -> None:
        'Copies the current row of a row set into the properties.'

class clsPOPPriceListD(Object):
    SageConnection: _GetLet[Any, Object | None]
    currency_code: _GetLet[str, str]
    customer_code: _GetLet[str, str]
    description: _GetLet[str, str]
    new_price: _GetLet[float, float]
    Price: _GetLet[float, float]
    price_end_date: _GetLet[datetime.datetime, datetime.date]
    price_list: _GetLet[str, str]
    price_start_date: _GetLet[datetime.datetime, datetime.date]
    product_code: _GetLet[str, str]
    sequence_number: _GetLet[str, str]
    unit_code: _GetLet[str, str]
    unit_code_group: _GetLet[str, str]
    unit_qty_per_price: _GetLet[float, float]
    vat_inclusive_flag: _GetLet[str, str]
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'
    def CopyFromRS(self, rst: Object | None | Ref[Any]) -> None:
        'Copies the current row of a row set into the properties.'
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def CheckIfListExists(self) -> bool:
        'True when the supplier has the price list; raises an error record otherwise.'
    def LoadListForSupplierProduct(self) -> int:
        "Loads the supplier's rows of the price list for the product; answers how many."
    def MoveFirstForSupplierProductList(self) -> bool:
        'Starts the walk over the loaded rows again; always False.'
    def MoveNextForSupplierProductList(self) -> bool:
        'Puts the next loaded row into the properties; False when there are no more.'
    def CopyFrom(self, oFromPOPPriceListD: Object | None | Ref[Any]) -> None:
        'Copies every property of another object of the class.'

class clsPorecp(Object):
    SageConnection: _GetLet[Any, Object | None]
    commnt: _GetLet[str, str]
    creation_date: _GetLet[datetime.datetime, datetime.date]
    date_received: _GetLet[datetime.datetime, datetime.date]
    date_required: _GetLet[datetime.datetime, datetime.date]
    delivery_no: _GetLet[str, str]
    foreign_cost: _GetLet[float, float]
    level_of_detail: _GetLet[str, str]
    local_cost: _GetLet[float, float]
    more_to_come_ind: _GetLet[str, str]
    order_no: _GetLet[str, str]
    originator_user_id: _GetLet[str, str]
    pl_company: _GetLet[str, str]
    product: _GetLet[str, str]
    qty_booked_out: _GetLet[float, float]
    qty_received: _GetLet[float, float]
    qty_returned: _GetLet[float, float]
    receipt_no: _GetLet[str, str]
    return_code: _GetLet[str, str]
    return_number: _GetLet[str, str]
    return_text1: _GetLet[str, str]
    return_text2: _GetLet[str, str]
    spare: _GetLet[str, str]
    stock_unit_dp: _GetLet[str, str]
    supplier: _GetLet[str, str]
    unit_code: _GetLet[str, str]
    unit_factor: _GetLet[float, float]
    unit_group: _GetLet[str, str]
    unit_operand: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'

class clsPORPodet(Object):
    SageConnection: _GetLet[Any, Object | None]
    @property
    def QtyOutstanding(self) -> float: ...
    alloc_expect_cost: _GetLet[float, float]
    bundle_line_ref: _GetLet[str, str]
    cost_per_unit: _GetLet[float, float]
    cost_price_u: _GetLet[float, float]
    date_completed: _GetLet[datetime.datetime, datetime.date]
    date_required: _GetLet[datetime.datetime, datetime.date]
    delivery_no1: _GetLet[str, str]
    delivery_no2: _GetLet[str, str]
    delivery_no3: _GetLet[str, str]
    description: _GetLet[str, str]
    discount: _GetLet[float, float]
    discount_code: _GetLet[str, str]
    discount_price_u: _GetLet[float, float]
    discount_tran_u: _GetLet[float, float]
    foreign_exp_cost: _GetLet[float, float]
    foreign_total_act: _GetLet[float, float]
    foreign_total_exp: _GetLet[float, float]
    goods_vat_ind: _GetLet[str, str]
    grn_required: _GetLet[str, str]
    inv_qty_to_date: _GetLet[float, float]
    inv_value_logged: _GetLet[float, float]
    inv_value_posted: _GetLet[float, float]
    level_of_detail: _GetLet[str, str]
    line_type: _GetLet[str, str]
    list_cost_price_u: _GetLet[float, float]
    list_cost_stock_u: _GetLet[float, float]
    list_cost_tran_u: _GetLet[float, float]
    local_expect_cost: _GetLet[float, float]
    local_total_actual: _GetLet[float, float]
    local_total_expect: _GetLet[float, float]
    log_inv_by_qty: _GetLet[str, str]
    long_description: _GetLet[str, str]
    mrp_flag: _GetLet[str, str]
    new_rec_this_run: _GetLet[str, str]
    new_vat_code: _GetLet[str, str]
    nl_category: _GetLet[str, str]
    order_line_no: _GetLet[str, str]
    order_no: _GetLet[str, str]
    orig_qty: _GetLet[float, float]
    pricing_unit: _GetLet[str, str]
    pricing_unit_fact: _GetLet[float, float]
    pricing_unit_op: _GetLet[str, str]
    product: _GetLet[str, str]
    qty_invoiced: _GetLet[float, float]
    qty_issued: _GetLet[float, float]
    qty_ordered: _GetLet[float, float]
    qty_received: _GetLet[float, float]
    qty_returned: _GetLet[float, float]
    serial_indic: _GetLet[str, str]
    ship_date: _GetLet[datetime.datetime, datetime.date]
    spare: _GetLet[str, str]
    status: _GetLet[str, str]
    stock_unit_dp: _GetLet[str, str]
    tran_code1: _GetLet[str, str]
    tran_code2: _GetLet[str, str]
    tran_code3: _GetLet[str, str]
    tran_exp_cost: _GetLet[float, float]
    tran_exp_fcost: _GetLet[float, float]
    tran_inv_qty: _GetLet[float, float]
    tran_order_qty: _GetLet[float, float]
    tran_orig_orderq: _GetLet[float, float]
    tran_qty_returned: _GetLet[float, float]
    tran_recd_qty: _GetLet[float, float]
    trans_unit_dp: _GetLet[str, str]
    unalloc_qty: _GetLet[float, float]
    unit_code: _GetLet[str, str]
    unit_factor: _GetLet[float, float]
    unit_group: _GetLet[str, str]
    unit_operand: _GetLet[str, str]
    value_disc_flag: _GetLet[str, str]
    vat_code: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    weight: _GetLet[float, float]
    line_no: _GetLet[int, int]
    def InitReadAllForOrder(self) -> None:
        'Sets up a walk over every line of the order in order_no.'
    def ReadNextForOrder(self) -> bool:
        'Reads the next row of the walk into the properties; False when there are no more.'
    def ReadIt(self) -> None:
        'Reads the line given by order_no and line_no and keeps it current for UpdateForReceipt.'
    def UpdateForReceipt(self) -> None:
        'Writes the received quantities, status and expected costs into the current line.'
    def CloseIt(self) -> None:
        'Closes the read row set when it is open.'

class clsPORPohead(Object):
    SageConnection: _GetLet[Any, Object | None]
    PLCurrency: _GetLet[str, str]
    @property
    def pl_company(self) -> str: ...
    @property
    def status(self) -> str: ...
    @property
    def supplier(self) -> str: ...
    @property
    def order_no(self) -> str: ...
    def ReadIt(self, sOrderNo: str) -> None:
        'Reads the header of order sOrderNo; it stays current until CloseIt.'
    def CloseIt(self) -> None:
        'Closes the read row set when it is open.'

class clsPORService(Object):
    @property
    def cost(self) -> float: ...
    @property
    def unit_code(self) -> str: ...
    Service: _GetLet[str, str]
    SageConnection: _GetLet[Any, Object | None]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'

class clsPORStock(Object):
    SageConnection: _GetLet[Any, Object | None]
    @property
    def serial_numbers(self) -> str: ...
    @property
    def batch_traceability(self) -> str: ...
    @property
    def nl_category(self) -> str: ...
    AdjustYearToDateReceiptQty: _GetLet[float, float]
    AdjustMonthToDateReceiptQty: _GetLet[float, float]
    last_supplier: _Let[str]
    AdjustPhysicalQty: _GetLet[float, float]
    @property
    def physical_qty(self) -> float: ...
    @property
    def on_order_qty(self) -> float: ...
    AdjustOnOrderQty: _GetLet[float, float]
    @property
    def standard_cost(self) -> float: ...
    @property
    def standard_labour(self) -> float: ...
    @property
    def standard_material(self) -> float: ...
    @property
    def standard_overhead(self) -> float: ...
    @property
    def standard_subcontra(self) -> float: ...
    current_cost: _GetLet[float, float]
    @property
    def current_labour(self) -> float: ...
    current_material: _GetLet[float, float]
    @property
    def current_overhead(self) -> float: ...
    @property
    def current_subcontra(self) -> float: ...
    warehouse: _GetLet[str, str]
    product: _GetLet[str, str]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'
    def PrepareUpdateStatement(self) -> None:
        'Prepares the receipt update statement once per object.'
    def UpdateForReceipt(self) -> None:
        'Adds the four adjustments and stores the costs and last supplier in one update.'
    BinNumber: _GetLet[str, str]

class clsPOSuppInf(Object):
    SageConnection: _GetLet[Any, Object | None]
    UseCache: _GetLet[bool, bool]
    cost: _GetLet[float, float]
    description: _GetLet[str, str]
    long_description: _GetLet[str, str]
    part_no: _GetLet[str, str]
    product: _GetLet[str, str]
    reorder_days: _GetLet[float, float]
    supplier: _GetLet[str, str]
    unit_code: _GetLet[str, str]
    unit_qty_cost: _GetLet[float, float]
    warehouse: _GetLet[str, str]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def PrepareReadByPartNoStatement(self) -> None:
        'Prepares the read by part number once per object.'
    def ReadItByPartNo(self) -> None:
        'Reads the row of supplier and part_no.'
    def ReadIt(self) -> None:
        'Reads the row of supplier, warehouse and product.'
    def DeleteSupplier(self) -> None:
        'Deletes the row of supplier, warehouse and product.'
    def CheckIfSupplierExist(self) -> bool:
        'True when the supplier has a row for the warehouse and product.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def UpdateRow(self) -> None:
        'Writes the properties back into the row of their key.'

class clsPOvhstD(Object):
    SageConnection: _GetLet[Any, Object | None]
    accruals_reversed: _GetLet[str, str]
    analysis_a: _GetLet[str, str]
    analysis_b: _GetLet[str, str]
    analysis_c: _GetLet[str, str]
    analysis_d: _GetLet[str, str]
    analysis_e: _GetLet[str, str]
    analysis_f: _GetLet[str, str]
    auth_method: _GetLet[str, str]
    pOcurrency: _GetLet[str, str]
    delivery_qty: _GetLet[float, float]
    delivery_qty_tol: _GetLet[float, float]
    dp_currency: _GetLet[str, str]
    dp_unit: _GetLet[str, str]
    grni_accrued: _GetLet[float, float]
    history_date: _GetLet[datetime.datetime, datetime.date]
    history_type: _GetLet[str, str]
    invoice: _GetLet[str, str]
    invoice_price: _GetLet[float, float]
    invoice_qty: _GetLet[float, float]
    invoice_rate: _GetLet[float, float]
    invoice_seq_no: _GetLet[str, str]
    operator: _GetLet[str, str]
    order_line_no: _GetLet[int, int]
    order_no: _GetLet[str, str]
    order_price: _GetLet[float, float]
    order_rate: _GetLet[float, float]
    pev_accrued: _GetLet[float, float]
    pev_realised: _GetLet[float, float]
    plan_rate: _GetLet[float, float]
    ppv_accrued: _GetLet[float, float]
    ppv_realised: _GetLet[float, float]
    pqv_realised: _GetLet[float, float]
    product: _GetLet[str, str]
    receipt_no: _GetLet[str, str]
    receipt_qty: _GetLet[float, float]
    receipt_rate: _GetLet[float, float]
    receipt_seq_no: _GetLet[str, str]
    sequence_no: _GetLet[int, int]
    std_cost_local: _GetLet[float, float]
    supplier: _GetLet[str, str]
    unit_code: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    def InsertRow(self) -> None:
        'Inserts the history row, and its rate row when the dual-rate option is on.'
    def Reset(self) -> None:
        'Puts every property back to its creation default.'
    def CopyFromRecordset(self, rst: Any) -> None:
        'Copies the current row of a row set into the properties.'
    def CopyFrom(self, oPOVHstD: Object | None) -> None:
        'Copies every property of another object of the class.'
    def DeleteForOrder(self) -> Any:
        'Deletes the rows of the order in the order number property.'
    receipt_rate2: _GetLet[float, float]
    receipt_op2: _GetLet[str, str]
    receipt_op1: _GetLet[str, str]
    receipt_rate1: _GetLet[float, float]
    invoice_rate2: _GetLet[float, float]
    invoice_op2: _GetLet[str, str]
    invoice_op1: _GetLet[str, str]
    invoice_rate1: _GetLet[float, float]
    order_rate2: _GetLet[float, float]
    order_op2: _GetLet[str, str]
    order_op1: _GetLet[str, str]
    order_rate1: _GetLet[float, float]
    plan_rate2: _GetLet[float, float]
    plan_op2: _GetLet[str, str]
    plan_op1: _GetLet[str, str]
    plan_rate1: _GetLet[float, float]
    def ReadFirstForOrder(self, orderNo: str) -> bool:
        'Reads the first history row of order orderNo; False when there is none.'

class clsSTBatchD(Object):
    SageConnection: _GetLet[Any, Object | None]
    batch_number: _GetLet[str, str]
    best_before_date: _GetLet[datetime.datetime, datetime.date]
    best_date_key: _GetLet[str, str]
    bin_number: _GetLet[str, str]
    concentration: _GetLet[float, float]
    conformity_ref: _GetLet[str, str]
    date_received: _GetLet[datetime.datetime, datetime.date]
    expiry_date: _GetLet[datetime.datetime, datetime.date]
    expiry_date_key: _GetLet[str, str]
    inspection_date: _GetLet[datetime.datetime, datetime.date]
    inspector_code: _GetLet[str, str]
    labour_cost: _GetLet[float, float]
    lot_number: _GetLet[str, str]
    overhead_cost: _GetLet[float, float]
    passed_inspection: _GetLet[str, str]
    prod_code: _GetLet[str, str]
    product: _GetLet[str, str]
    quantity: _GetLet[float, float]
    quantity_free: _GetLet[float, float]
    sell_by_date: _GetLet[datetime.datetime, datetime.date]
    sellby_date_key: _GetLet[str, str]
    sequence_number: _GetLet[str, str]
    serial_number: _GetLet[str, str]
    source_code: _GetLet[str, str]
    spare: _GetLet[str, str]
    sub_contract_cost: _GetLet[float, float]
    unit_cost: _GetLet[float, float]
    users_field_1: _GetLet[float, float]
    users_field_2: _GetLet[float, float]
    users_field_3: _GetLet[float, float]
    users_text_field: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def PrepareNextNumber(self) -> None:
        'Prepares the query for the highest sequence number once per object.'
    def InsertNewBatch(self) -> None:
        'Inserts the batch under a fresh sequence number of its warehouse and product.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def Remainder(self, numerator: float, denominator: float) -> float:
        'Floating-point remainder of numerator divided by denominator, in [0, denominator).'

class clsSTHistory(Object):
    SageConnection: _GetLet[Any, Object | None]
    batch_number: _GetLet[str, str]
    comments: _GetLet[str, str]
    dated: _GetLet[datetime.datetime, datetime.date]
    expiry_date: _GetLet[datetime.datetime, datetime.date]
    from_bin_number: _GetLet[str, str]
    lot_number: _GetLet[str, str]
    movement_cost: _GetLet[float, float]
    movement_date: _GetLet[datetime.datetime, datetime.date]
    movement_quantity: _GetLet[float, float]
    movement_reference: _GetLet[str, str]
    movement_source: _GetLet[str, str]
    nl_category: _GetLet[str, str]
    opening_balance: _GetLet[float, float]
    product: _GetLet[str, str]
    sequence_no: _GetLet[str, str]
    serial_number: _GetLet[str, str]
    spare: _GetLet[str, str]
    sub_contract_cost: _GetLet[float, float]
    to_bin_number: _GetLet[str, str]
    total_labour_cost: _GetLet[float, float]
    total_overhead_cos: _GetLet[float, float]
    transaction_type: _GetLet[str, str]
    user_id: _GetLet[str, str]
    val_only_adj_ind: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def PrepareNextNumber(self) -> None:
        'Prepares the query for the highest sequence number once per object.'
    def InsertNewHistory(self) -> None:
        'Inserts the movement under the next free sequence number of its warehouse, product and day.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'

class clsStkpgtxD(Object):
    def ResetCache(self) -> None:
        'Empties the cached copy of the product-group table; the next ReadIt loads it again.'
    call_off_qty_tol: _GetLet[str, str]
    delivery_qty_tol: _GetLet[str, str]
    SageConnection: _GetLet[Any, Object | None]
    product_group: _GetLet[str, str]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Finds product_group in the cached product-group table (loaded on first use) and fills the tolerances.'

class clsSTNLCat(Object):
    SageConnection: _GetLet[Any, Object | None]
    MovementType: _GetLet[int, int]
    nl_category: _GetLet[str, str]
    @property
    def MovementAccount(self) -> str: ...
    @property
    def BalanceSheetAccount(self) -> str: ...
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'

class clsSTNLMov(Object):
    SageConnection: _GetLet[Any, Object | None]
    account: _GetLet[str, str]
    amount_posted: _GetLet[float, float]
    comments: _GetLet[str, str]
    movement_date: _GetLet[datetime.datetime, datetime.date]
    post_flag: _GetLet[str, str]
    tranaction_ref: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'

class clsStockXpgD(Object):
    call_off_qty_tol: _GetLet[str, str]
    delivery_qty_tol: _GetLet[str, str]
    consumer_unit: _GetLet[str, str]
    SageConnection: _GetLet[Any, Object | None]
    warehouse: _GetLet[str, str]
    product: _GetLet[str, str]
    analysis_d: _GetLet[str, str]
    analysis_e: _GetLet[str, str]
    analysis_f: _GetLet[str, str]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def PrepareStkxpgmUpdateStatement(self) -> None:
        'Prepares the update of the extension row once per object.'
    def UpdateStock(self) -> None:
        'Writes the six values into the extension row of warehouse and product.'
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'

class clsSTPrExD(Object):
    SageConnection: _GetLet[Any, Object | None]
    expense: _GetLet[str, str]
    warehouse: _GetLet[str, str]
    product: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads one row, found by the key properties set beforehand, into the properties.'
    def PrepareUpdateStatement(self) -> None:
        'Prepares the update statement once per object.'
    def UpdateRow(self) -> None:
        'Writes the properties back into the row of their key.'

class clsSTUnitCD(Object):
    SageConnection: _GetLet[Any, Object | None]
    @property
    def KeyString(self) -> str: ...
    @property
    def from_max_break(self) -> float: ...
    @property
    def from_min_break(self) -> float: ...
    converted_unit: _GetLet[str, str]
    base_name: _GetLet[str, str]
    @property
    def conv_factor(self) -> float: ...
    @property
    def conv_method(self) -> str: ...
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads the conversion of base_name and converted_unit from the database.'
    def ReadFromList(self) -> None:
        "Reads the row of the key from the object's cached copy of the table."
    def CopyFrom(self, oFromSTUnitCD: Object | None | Ref[Any]) -> None:
        'Copies every property of another object of the class.'

class clsSTUnitDD(Object):
    SageConnection: _GetLet[Any, Object | None]
    @property
    def KeyString(self) -> str: ...
    @property
    def dec_places(self) -> int: ...
    unit_code: _GetLet[str, str]
    def PrepareReadStatement(self) -> None:
        'Prepares the read statement once per object.'
    def ReadIt(self) -> None:
        'Reads the unit of unit_code from the database.'
    def ReadFromList(self) -> None:
        "Reads the row of the key from the object's cached copy of the table."
    def CopyFrom(self, oFromSTUnitDD: Object | None | Ref[Any]) -> None:
        'Copies every property of another object of the class.'

class clsSTUnitPD(Object):
    @property
    def KeyString(self) -> str: ...
    SageConnection: _GetLet[Any, Object | None]
    alt_unit: _GetLet[str, str]
    base_name: _GetLet[str, str]
    conv_factor: _GetLet[float, float]
    conv_method: _GetLet[str, str]
    converted_unit: _GetLet[str, str]
    from_min_break: _GetLet[float, float]
    product: _GetLet[str, str]
    to_min_break: _GetLet[float, float]
    warehouse: _GetLet[str, str]
    def PrepareInsertStatement(self) -> None:
        'Prepares the insert statement once per object.'
    def InsertRow(self) -> None:
        'Inserts one row from the properties.'
    def ReadIt(self) -> None:
        'Reads the conversion of warehouse, product, base_name and converted_unit from the database.'
    def ReadFromList(self) -> None:
        "Reads the row of the key from the object's cached copy of the table."
    def CopyFrom(self, oFromSTUnitPD: Object | None | Ref[Any]) -> None:
        'Copies every property of another object of the class.'

class clsTarnlowSTDataVer(Object):
    @property
    def TarnlowSTDataVer(self) -> str: ...

class colPONLAcc(Object):
    def Add(self, NominalCode: str | Ref[Any], Category: str | Ref[Any]) -> Any:
        'Appends a new entry with NominalCode and Category, under the key Category, and returns it.'
    def ClearList(self) -> None:
        'Removes every member.'
    def Item(self, vntIndexKey: Any) -> Any:
        'The member at a position (from 1) or under a key (letter case ignored); the default member.'
    @property
    def Count(self) -> int: ...
    def Remove(self, vntIndexKey: Any) -> None:
        'Removes the member at a position or under a key; later members move up.'
    @property
    def NewEnum(self) -> Any: ...
    def __len__(self) -> int: ...
    def __getitem__(self, position_or_key: int | str) -> Any: ...
    def __delitem__(self, position_or_key: int | str) -> None: ...
    def __iter__(self) -> Iterator[Any]: ...

class colSTUnitD(Object):
    def Add(self, oSTUnitDD: Object | None | Ref[Any]) -> Any:
        'Appends a copy of the object given, under its key, and returns the stored copy.'
    def Item(self, vntIndexKey: Any) -> Any:
        'The member at a position (from 1) or under a key (letter case ignored); the default member.'
    @property
    def Count(self) -> int: ...
    def Remove(self, vntIndexKey: Any) -> None:
        'Removes the member at a position or under a key; later members move up.'
    def ClearList(self) -> None:
        'Removes every member.'
    @property
    def NewEnum(self) -> Any: ...
    def __len__(self) -> int: ...
    def __getitem__(self, position_or_key: int | str) -> Any: ...
    def __delitem__(self, position_or_key: int | str) -> None: ...
    def __iter__(self) -> Iterator[Any]: ...


def connect(text: str) -> Connection:
    """Opens the database a connection text names; with a with block, released at its end."""
def classes() -> list[str]:
    """The names of the registered classes, in order of name."""
def create_missing_tables(connection: Connection) -> list[str]:
    """Creates the tables of the database that are missing; the names of those made."""
def live_objects() -> int:
    """The number of library objects alive in this process."""
def can_unload_now() -> bool:
    """True when no library object is alive."""
def type_library() -> types.SimpleNamespace:
    """The type library: name, identity, major_version, minor_version, locale, description."""

@overload
def create(name_or_identity: Literal["clsCEVatMatD", "{C2D8801D-B6E3-464F-B4B3-82D0A6445F4C}"]) -> clsCEVatMatD: ...

@overload
def create(name_or_identity: Literal["clsPODetailD", "{145CC5D0-9A0A-4E8D-BECC-B8266274F668}"]) -> clsPODetailD: ...

@overload
def create(name_or_identity: Literal["clsPODetpgD", "{AA2B9851-76D6-49C9-BA79-56A856672C07}"]) -> clsPODetpgD: ...

@overload
def create(name_or_identity: Literal["clsPOHeadD", "{2AFF014F-F474-4708-AEDA-8B6202E44B96}"]) -> clsPOHeadD: ...

@overload
def create(name_or_identity: Literal["clsPOHeadx1D", "{A7A4E241-F868-4E94-94E0-6B3AFC500C39}"]) -> clsPOHeadx1D: ...

@overload
def create(name_or_identity: Literal["clsPONLAcc", "{A0137281-EB0C-4172-9BE6-6BA2A613D6CD}"]) -> clsPONLAcc: ...

@overload
def create(name_or_identity: Literal["clsPONLCodeD", "{0F654640-6248-4C70-9D80-20F5BFD4830D}"]) -> clsPONLCodeD: ...

@overload
def create(name_or_identity: Literal["clsPONLExtD", "{151D1B15-C516-40C6-AF9B-73BDB1898496}"]) -> clsPONLExtD: ...

@overload
def create(name_or_identity: Literal["clsPOOStock", "{FCB2A99C-4D83-4DD3-B83C-348C87680A0D}"]) -> clsPOOStock: ...

@overload
def create(name_or_identity: Literal["clsPOPDiscountD", "{59B22D2D-3365-4782-B388-59389CF9B2C9}"]) -> clsPOPDiscountD: ...

@overload
def create(name_or_identity: Literal["clsPOPPriceListD", "{BB0E7327-D909-45F7-B9D6-1AC576576DDC}"]) -> clsPOPPriceListD: ...

@overload
def create(name_or_identity: Literal["clsPorecp", "{225C1B8F-1690-47FC-901E-85FE9C55E48D}"]) -> clsPorecp: ...

@overload
def create(name_or_identity: Literal["clsPORPodet", "{54A8EB61-334A-413C-8071-129E82CB0978}"]) -> clsPORPodet: ...

@overload
def create(name_or_identity: Literal["clsPORPohead", "{822DAB47-ED6B-4727-B1F9-92B5A458F332}"]) -> clsPORPohead: ...

@overload
def create(name_or_identity: Literal["clsPORService", "{E5A77673-5F20-4317-8289-426B2EDABAF5}"]) -> clsPORService: ...

@overload
def create(name_or_identity: Literal["clsPORStock", "{147E7B81-7B07-4474-A8CD-7ABB57EC168E}"]) -> clsPORStock: ...

@overload
def create(name_or_identity: Literal["clsPOSuppInf", "{488A4BE2-9298-4C7A-B4A2-098396A9C486}"]) -> clsPOSuppInf: ...

@overload
def create(name_or_identity: Literal["clsPOvhstD", "{8C84EA2F-6317-4053-9B89-1D6AD4E201BD}"]) -> clsPOvhstD: ...

@overload
def create(name_or_identity: Literal["clsSTBatchD", "{A8DC3631-7F09-4588-BFBD-2EF8E806B964}"]) -> clsSTBatchD: ...

@overload
def create(name_or_identity: Literal["clsSTHistory", "{AFCBBCF4-3D5E-4129-9468-9C7E0ED3F53E}"]) -> clsSTHistory: ...

@overload
def create(name_or_identity: Literal["clsStkpgtxD", "{EA002F90-7C45-4089-9A54-F76ED02CA8B3}"]) -> clsStkpgtxD: ...

@overload
def create(name_or_identity: Literal["clsSTNLCat", "{BB09ECDC-28A9-4B64-9A0C-251003D6943D}"]) -> clsSTNLCat: ...

@overload
def create(name_or_identity: Literal["clsSTNLMov", "{5A4935C8-B70D-4382-AA06-D80F6CC46D82}"]) -> clsSTNLMov: ...

@overload
def create(name_or_identity: Literal["clsStockXpgD", "{C6BD9EB3-3771-4F42-B8D9-B21295B8B10B}"]) -> clsStockXpgD: ...

@overload
def create(name_or_identity: Literal["clsSTPrExD", "{15732644-4E48-471A-97B1-D004BFDA58B2}"]) -> clsSTPrExD: ...

@overload
def create(name_or_identity: Literal["clsSTUnitCD", "{6C7A6AD9-6290-4B87-A22B-70EE51FD6660}"]) -> clsSTUnitCD: ...

@overload
def create(name_or_identity: Literal["clsSTUnitDD", "{74317BAA-481E-4F9D-9DA5-3162EEB17B08}"]) -> clsSTUnitDD: ...

@overload
def create(name_or_identity: Literal["clsSTUnitPD", "{D36954AA-C091-47BD-8496-A93FB9A3D6BC}"]) -> clsSTUnitPD: ...

@overload
def create(name_or_identity: Literal["clsTarnlowSTDataVer", "{498C305D-3C19-4EDE-AE98-50B1B74E73B1}"]) -> clsTarnlowSTDataVer: ...

@overload
def create(name_or_identity: Literal["colPONLAcc", "{657E125E-6479-4458-BC28-C85C19E48CFF}"]) -> colPONLAcc: ...

@overload
def create(name_or_identity: Literal["colSTUnitD", "{381CB7A3-5C75-47E0-85E7-F55E58B4C1DF}"]) -> colSTUnitD: ...

@overload
def create(name_or_identity: str) -> Object:
    """A fresh object of a public class, by class name or class identity (letter case ignored)."""
