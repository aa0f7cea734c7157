<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="sid" select="''"/>
  <xsl:param name="category" select="''"/>
  <xsl:param name="subcategory" select="''"/>
  <xsl:variable name="components"
      select="/components/component[categories/category[primaryCategory = $category and secondaryCategory = $subcategory]]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="$subcategory"/>
      <xsl:with-param name="section" select="'Marketplace'"/>
      <xsl:with-param name="sid" select="$sid"/>
      <xsl:with-param name="lead" select="concat($category, ' › ', $subcategory, ': ', count($components), ' components.')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:choose>
      <xsl:when test="$components">
        <xsl:call-template name="component-table">
          <xsl:with-param name="components" select="$components"/>
          <xsl:with-param name="link-prefix" select="'/components/view.jsp?prodid='"/>
          <xsl:with-param name="link-suffix" select="concat('&amp;sid=', $sid)"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><p class="notice">No component is listed under this subcategory.</p></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
